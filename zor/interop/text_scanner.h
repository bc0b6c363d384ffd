// The tokenizer shared by the description-file readers. It tracks line and
// column, knows identifiers, numbers, quoted strings and single punctuation
// characters, skips white space and (optionally) // and /* */ comments, and
// throws SyntaxError with file:line:column for what it cannot read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zor/interop/diagnostics.h"

namespace ZOR_RAM::interop {

enum class TokenKind : uint8_t { End, Identifier, Number, String, Punct };

struct Token {
  TokenKind Kind = TokenKind::End;
  // Identifier and number: the characters. String: the raw characters between
  // the quotes (escapes not yet decoded; see TextScanner::StringValue).
  // Punct: the one character.
  std::string_view Text;
  SourcePos Pos;
  bool FirstOnLine = false;  // no other token before it on its line

  bool Is(char punct) const { return Kind == TokenKind::Punct && Text.size() == 1 && Text[0] == punct; }
  bool IsWord(std::string_view word) const { return Kind == TokenKind::Identifier && Text == word; }
};

struct ScannerOptions {
  bool SlashComments = true;  // "//" to the line end and "/* ... */"
};

// The text of a description file as the library keeps texts (Windows-1252):
// after a UTF-8 byte-order mark the text is converted from UTF-8 (characters
// the code page lacks become '?'); without one, a text that is valid UTF-8,
// holds non-ASCII characters and only ones the code page has is converted;
// anything else is taken as Windows-1252 already, byte for byte.
ZOR_API std::string DecodeSourceText(std::string_view bytes, bool* wasUtf8 = nullptr);

// How a token is named in messages: "identifier 'BO_'", "number '12'",
// "string", "';'", "end of file".
ZOR_API std::string DescribeToken(const Token& token);

class ZOR_API TextScanner {
 public:
  // text must outlive the scanner and the tokens it hands out.
  TextScanner(std::string fileName, std::string_view text, ScannerOptions options = {});

  const std::string& FileName() const { return FileName_; }
  std::string_view Text() const { return Text_; }

  // The next token, without consuming it.
  const Token& Peek();
  Token Next();
  bool AtEnd() { return Peek().Kind == TokenKind::End; }

  // Consume the next token when it is the punctuation / the identifier given.
  bool Accept(char punct);
  bool AcceptWord(std::string_view word);

  // Consume the next token or throw "expected <what>, found <token>".
  Token Expect(char punct);
  Token ExpectWord(std::string_view word);
  Token ExpectIdentifier(std::string_view what = "a name");
  Token ExpectString(std::string_view what = "a quoted string");
  // A number with an optional sign before it ("-", "+"): decimal, real with
  // fraction and exponent ("1E+010"), or hexadecimal ("0x1F").
  double ExpectNumber(std::string_view what = "a number", Token* where = nullptr);
  // As ExpectNumber, but the value must be a whole number in range.
  int64_t ExpectInteger(std::string_view what = "a whole number", int64_t min = INT64_MIN,
                        int64_t max = INT64_MAX, Token* where = nullptr);

  // The text of a string token with \" and \\ decoded.
  static std::string StringValue(const Token& token);
  // The value of a number token; false when it is not a valid number.
  static bool NumberValue(std::string_view text, double* value);

  // Skips tokens up to and including the next punct (or to the end).
  void SkipPast(char punct);
  // Skips the rest of the line of the last consumed token.
  void SkipLine();

  [[noreturn]] void Fail(const Token& at, std::string_view expected) const;
  [[noreturn]] void FailAt(SourcePos pos, std::string text) const;

 private:
  Token Scan();
  void SkipSpace();
  void Advance();

  std::string FileName_;
  std::string_view Text_;
  ScannerOptions Options_;
  size_t Offset_ = 0;
  SourcePos Pos_{1, 1};
  bool LineHasToken_ = false;
  int LastLine_ = 0;
  bool HavePeek_ = false;
  Token Peek_;
};

}  // namespace ZOR_RAM::interop
