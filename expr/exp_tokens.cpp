#include "expr/exp_tokens.h"

#include "expr/exp_nodes.h"

namespace velorin {

namespace {

ExpToken OperatorToken(uint8_t code) {
  ExpToken token;
  token.kind = ExpTokenKind::kOperator;
  token.code = code;
  token.level = OperatorLevel(code);
  return token;
}

// The code of an operator character; 0 for other characters.
uint8_t OperatorCode(char c) {
  switch (c) {
    case '+': return exp_op::kPlus;
    case '-': return exp_op::kMinus;
    case '*': return exp_op::kTimes;
    case '/': return exp_op::kDivide;
    case '^': return exp_op::kPower;
    case '#': return exp_op::kNotEqual;
    case '!': return exp_op::kNot;
    case '=': return exp_op::kEqual;
    case '<': return exp_op::kLess;
    case '>': return exp_op::kGreater;
    default: return 0;
  }
}

// The code of the pair previous + c, 0 when they do not combine.
uint8_t CombinedCode(char previous, char c) {
  switch (c) {
    case '*': return previous == '*' ? exp_op::kPower : 0;
    case '=':
      switch (previous) {
        case '!': return exp_op::kNotEqual;
        case '<': return exp_op::kLessEqual;
        case '>': return exp_op::kGreaterEqual;
        case '=': return exp_op::kExactlyEqual;
        default: return 0;
      }
    case '>':
      if (previous == '<') return exp_op::kNotEqual;
      if (previous == '=') return exp_op::kGreaterEqual;
      return 0;
    case '<': return previous == '=' ? exp_op::kLessEqual : 0;
    default: return 0;
  }
}

}  // namespace

std::vector<ExpToken> TokenizeExpression(std::string_view text) {
  std::vector<ExpToken> tokens;
  tokens.reserve(text.size());
  char previous = 0;  // the previous input character outside literals
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"' || c == '\'' || c == '[' || c == '{') {
      char close = c == '[' ? ']' : (c == '{' ? '}' : c);
      size_t end = text.find(close, i + 1);
      if (end == std::string_view::npos) end = text.size();
      ExpToken literal;
      literal.kind = c == '{' ? ExpTokenKind::kDateLiteral : ExpTokenKind::kTextLiteral;
      literal.text = std::string(text.substr(i + 1, end - i - 1));
      tokens.push_back(std::move(literal));
      i = end;
      previous = 0;
      continue;
    }
    ExpToken token;
    bool combined = false;
    if (previous != 0 && !tokens.empty() && tokens.back().kind == ExpTokenKind::kOperator) {
      if (previous == '-' && c == '>') {
        tokens.back() = ExpToken{ExpTokenKind::kCharacter, 0, 0, '.', {}};
        combined = true;
      } else if (uint8_t code = CombinedCode(previous, c); code != 0) {
        tokens.back() = OperatorToken(code);
        combined = true;
      }
    }
    if (combined) {
      previous = 0;  // a pair takes no third character
      continue;
    }
    if (uint8_t code = OperatorCode(c); code != 0) {
      token = OperatorToken(code);
    } else if (c == ' ' || c == '\t') {
      token.kind = ExpTokenKind::kBlank;
    } else if (c == '(') {
      token.kind = ExpTokenKind::kOpen;
    } else if (c == ')') {
      token.kind = ExpTokenKind::kClose;
    } else if (c == ',') {
      token.kind = ExpTokenKind::kComma;
    } else if (static_cast<unsigned char>(c) < ' ') {
      token.kind = ExpTokenKind::kStray;
    } else {
      token.kind = ExpTokenKind::kCharacter;
      token.ch = c;
    }
    tokens.push_back(std::move(token));
    previous = c;
  }
  return tokens;
}

}  // namespace velorin
