// Reading typed values from the children of an XML element, escaping text,
// and writing field lines. Every item family reads and writes through these,
// so value forms, defaults and escaping are the same everywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TQXMLNode;

namespace ZOR_RAM {

// The child named `name` (prefix:local form), or null. `element` must not be null.
TQXMLNode* FindChild(const TQXMLNode* element, std::string_view name);
// Starts reading the nodes of all children of element (null: none), for a
// reader about to look for several of them by name: their reads overlap
// instead of following one another.
void PrefetchChildren(const TQXMLNode* element);

// Each reader gives its default (empty text, 0) when the child is absent or
// its text is empty.
std::string ReadText(const TQXMLNode* element, std::string_view name);  // unescaped
// Decimal, with an optional leading minus sign. Other text throws
// std::runtime_error("'<text>' is not a valid integer value").
int64_t ReadInt(const TQXMLNode* element, std::string_view name);
// Hexadecimal digits without prefix; failures name the text with "0x" before it.
int32_t ReadHex(const TQXMLNode* element, std::string_view name);
// Read as a 32-bit float (only single precision survives); 0 when the text
// does not begin with a number.
double ReadFloat(const TQXMLNode* element, std::string_view name);
// Fills buffer[0..size) from blank-separated hexadecimal tokens; missing or
// unparsable tokens give 0.
void ReadHexBytes(const TQXMLNode* element, std::string_view name, uint8_t* buffer, int size);

// The conversions behind ReadInt and ReadHex, for texts already in hand.
int64_t TextToInt(std::string_view text);
int32_t HexTextToInt(std::string_view digits);

// Characters 128..255 become "&#NNN;", and " & < > their entities.
std::string EscapeText(std::string_view text);
// Only & < > become entities; everything else stays as stored. For texts the
// file keeps as they are, so that a saved file always reads back.
std::string EscapeMarkup(std::string_view text);
// Undoes EscapeText (entities, then three-digit numeric references); a
// reference to the zero byte (&#000;, &#256;) ends the text.
std::string UnescapeText(std::string_view text);
// Replaces every occurrence, searching again from the start after each
// replacement, so a replacement can form a new occurrence.
void ReplaceAll(std::string& text, std::string_view pattern, std::string_view replacement);
std::string ByteToHex(int value);                       // "0A"
std::string BytesToHex(const uint8_t* bytes, int count);  // "01 0A FF"
// The general floating form of printf's %.15g, always with '.'.
std::string FormatReal(double value);

// Reads a list container: every child must be named `itemName` (else the
// error "<itemName> expected but <name> found." goes to the error sink and the
// read fails); readItem is called for each and a true result fails at once.
// A null container reads as an empty list. Returns true on failure.
bool ReadList(const TQXMLNode* container, std::string_view itemName,
              const std::function<bool(TQXMLNode*)>& readItem);
// As ReadList, on the child `containerName` of element.
bool ReadListIn(const TQXMLNode* element, std::string_view containerName, std::string_view itemName,
                const std::function<bool(TQXMLNode*)>& readItem);
// Empties values and reads one text per child of `containerName` (each named
// itemName), unescaped, or as parsed when asParsed. True on failure.
bool ReadTextList(const TQXMLNode* element, std::string_view containerName, std::string_view itemName,
                  std::vector<std::string>& values, bool asParsed = false);

// Field lines "<name>value</name>" through the line writer; true = failed.
bool WriteTextField(std::string_view name, std::string_view value);    // EscapeText
bool WriteStoredField(std::string_view name, std::string_view value);  // EscapeMarkup
bool WriteIntField(std::string_view name, int64_t value);
bool WriteBoolField(std::string_view name, bool value);  // 1 or 0
bool WriteRealField(std::string_view name, double value);
bool WriteHexField(std::string_view name, int value);  // ByteToHex
bool WriteHexBytesField(std::string_view name, const uint8_t* bytes, int count);
// "<containerName>", one WriteStoredField line named itemName per value,
// "</containerName>"; written also when the list is empty.
bool WriteTextList(std::string_view containerName, std::string_view itemName, const std::vector<std::string>& values);
// A bare tag line such as "<Frames>" or "</Frames>".
bool WriteTag(std::string_view name, bool closing = false);

}  // namespace ZOR_RAM
