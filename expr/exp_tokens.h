// exp_tokens.h — an expression text cut into tokens for the parser.
//
// Literal text is kept apart from the operator codes: a literal is one token
// holding its characters, so bytes 129 to 157 of single-byte code pages (the
// Cyrillic letters of code page 1251 among them) survive in literals and names.
//
// Quote characters are the double quote, the apostrophe, the square brackets
// and the curly braces: "{" opens a date literal closed by "}", "[" a text
// literal closed by "]", the others a text literal closed by the same
// character; there is no escape, and an unclosed literal runs to the end of the
// text. Outside literals a blank (or tab) is a blank token, "(" ")" "," are
// their own tokens, the operator characters + - * / ^ # ! = < > are operator
// tokens (a second character combines: ** ^, != <> #, <= =< <=, >= => >=, ==,
// and -> becomes a plain "."), other control characters are stray tokens that
// the parser skips, and every other character is a character of a word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

enum class ExpTokenKind : uint8_t {
  kBlank,
  kOpen,         // (
  kClose,        // )
  kComma,
  kOperator,     // code and level
  kTextLiteral,  // text
  kDateLiteral,  // text
  kCharacter,    // one character of a word: ch
  kStray,        // a control character; skipped
};

struct ExpToken {
  ExpTokenKind kind = ExpTokenKind::kStray;
  uint8_t code = 0;   // operator code
  uint8_t level = 0;  // operator level
  char ch = 0;        // kCharacter
  std::string text;   // literals
};

std::vector<ExpToken> TokenizeExpression(std::string_view text);

}  // namespace velorin
