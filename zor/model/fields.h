// Tables of fields: a class lists its fields once, in element order, each with
// its element name and value form, and the table drives reading, writing and
// resolving. What a table cannot say (version gates, child lists, fields
// whose form depends on another) stays in the class's own code around it.
//
//   constexpr TField kPubSigFields[] = {
//       IntField<&TPubSig::MaxTotPubDelay>("MaxTotPubDelay"),
//       RefField<&TPubSig::Signal, TEmptyRef::Skipped, &TZOR_RAM::Signals>("Signal")};
#pragma once

#include <span>
#include <string_view>

#include "zor/model/children.h"

namespace ZOR_RAM {

struct TField {
  std::string_view Name;
  // Sets the field from the child `Name` of element (absent: the default).
  void (*Read)(TItemData& item, const TQXMLNode* element, std::string_view name);
  // Writes the field's line; true on failure.
  bool (*Write)(TItemData& item, std::string_view name);
  // Turns a reference kept in the item's source element into a link; null for
  // plain values.
  void (*Resolve)(TItemData& item, std::string_view name);
};

namespace field_detail {
template <class M>
struct MemberOf;
template <class C, class V>
struct MemberOf<V C::*> {
  using Class = C;
  using Value = V;
};
template <auto Member>
auto& Of(TItemData& item) {
  return static_cast<typename MemberOf<decltype(Member)>::Class&>(item).*Member;
}
template <auto Member>
using ValueOf = typename MemberOf<decltype(Member)>::Value;
inline void ReadNothing(TItemData&, const TQXMLNode*, std::string_view) {}
}  // namespace field_detail

// A field read with read(element, name), converted to the member's type, and
// written with write(name, value).
template <auto Member, auto Read, auto Write>
constexpr TField ValueField(std::string_view name) {
  using namespace field_detail;
  return {name,
          [](TItemData& item, const TQXMLNode* e, std::string_view n) {
            Of<Member>(item) = static_cast<ValueOf<Member>>(Read(e, n));
          },
          [](TItemData& item, std::string_view n) { return Write(n, Of<Member>(item)); }, nullptr};
}

namespace field_detail {
// 1 or 0; any other number reads as set.
inline bool ReadFlag(const TQXMLNode* element, std::string_view name) { return ReadInt(element, name) != 0; }
inline float ReadSingle(const TQXMLNode* element, std::string_view name) {
  return static_cast<float>(ReadFloat(element, name));
}
}  // namespace field_detail

// A decimal integer; a flag (1 or 0); two hexadecimal digits; a real read in
// single precision; a text written escaped (TextField) or with only markup
// escaped (StoredField), both read unescaped.
template <auto Member>
constexpr TField IntField(std::string_view name) { return ValueField<Member, ReadInt, WriteIntField>(name); }
template <auto Member>
constexpr TField BoolField(std::string_view name) {
  return ValueField<Member, field_detail::ReadFlag, WriteBoolField>(name);
}
template <auto Member>
constexpr TField HexField(std::string_view name) { return ValueField<Member, ReadHex, WriteHexField>(name); }
template <auto Member>
constexpr TField RealField(std::string_view name) {
  return ValueField<Member, field_detail::ReadSingle, WriteRealField>(name);
}
template <auto Member>
constexpr TField TextField(std::string_view name) { return ValueField<Member, ReadText, WriteTextField>(name); }
template <auto Member>
constexpr TField StoredField(std::string_view name) { return ValueField<Member, ReadText, WriteStoredField>(name); }

// A byte array as blank-separated pairs of hexadecimal digits.
template <auto Member>
constexpr TField HexBytesField(std::string_view name) {
  using namespace field_detail;
  return {name,
          [](TItemData& item, const TQXMLNode* e, std::string_view n) {
            auto& bytes = Of<Member>(item);
            ReadHexBytes(e, n, bytes, sizeof bytes);
          },
          [](TItemData& item, std::string_view n) {
            const auto& bytes = Of<Member>(item);
            return WriteHexBytesField(n, bytes, sizeof bytes);
          },
          nullptr};
}

// An enumeration written as its text: ToText(value) and FromText(text).
template <auto Member, auto ToText, auto FromText>
constexpr TField EnumField(std::string_view name) {
  using namespace field_detail;
  return {name,
          [](TItemData& item, const TQXMLNode* e, std::string_view n) { Of<Member>(item) = FromText(ReadText(e, n)); },
          [](TItemData& item, std::string_view n) { return WriteTextField(n, ToText(Of<Member>(item))); }, nullptr};
}

// A reference, resolved in the database lists Homes in order; written as
// stored (RefField) or escaped as a text (EscapedRefField).
template <auto WriteLine, auto Member, TEmptyRef Empty, auto... Homes>
constexpr TField ReferenceField(std::string_view name) {
  using namespace field_detail;
  return {name, ReadNothing, [](TItemData& item, std::string_view n) { return WriteLine(n, Of<Member>(item)); },
          [](TItemData& item, std::string_view n) { ResolveRef(item, n, Of<Member>(item), Empty, Homes...); }};
}
template <auto Member, TEmptyRef Empty, auto... Homes>
constexpr TField RefField(std::string_view name) {
  return ReferenceField<WriteRef, Member, Empty, Homes...>(name);
}
template <auto Member, TEmptyRef Empty, auto... Homes>
constexpr TField EscapedRefField(std::string_view name) {
  return ReferenceField<WriteEscapedRef, Member, Empty, Homes...>(name);
}

// Reads every field in table order (a value that is no number throws at the
// first such field). Returns false: reading a field cannot fail otherwise.
bool ReadFields(TItemData& item, const TQXMLNode* element, std::span<const TField> fields);
// Writes every field's line; true on failure.
bool WriteFields(TItemData& item, std::span<const TField> fields);
void ResolveFields(TItemData& item, std::span<const TField> fields);

// A whole element: "<tag>" when withElement, "ZORId", the fields, "</tag>".
bool WriteFieldsElement(TItemData& item, bool withElement, std::string_view tag, std::span<const TField> fields);

}  // namespace ZOR_RAM
