#include "expr/exp_parser.h"

#include <algorithm>

#include "engine/vr6_Date.h"
#include "expr/vr6_sql.h"
#include "platform/number_text.h"

namespace velorin {

namespace {

constexpr const char* kKeywords[] = {"T", "F", "TRUE", "FALSE", "EQ", "LE", "LT", "GE", "GT",
                                     "AND", "OR", "NOT", "LIKE", "POS"};

bool IsUnboundOperator(const TvrExpBaseObject& node) { return node.Kind() == exp_node::kOperator; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The first operator in the subtree that never got its operands bound.
const TvrExpBaseObject* UnboundOperatorIn(const TvrExpBaseObject* node) {
  if (node == nullptr) return nullptr;
  if (IsUnboundOperator(*node)) return node;
  if (const TvrExpBaseObject* found = UnboundOperatorIn(node->Left())) return found;
  return UnboundOperatorIn(node->Right());
}

}  // namespace

std::unique_ptr<TvrExpBaseObject> ExpParser::ParseText(const std::string& text) {
  tokens_ = TokenizeExpression(text);
  return ParseList(0, tokens_.size());
}

void ExpParser::SkipBlanks(size_t& pos, size_t end) const {
  while (pos < end && tokens_[pos].kind == ExpTokenKind::kBlank) ++pos;
}

std::string ExpParser::CollectWord(size_t& pos, size_t end) const {
  std::string word;
  while (pos < end && tokens_[pos].kind == ExpTokenKind::kCharacter) {
    char c = tokens_[pos].ch;
    word += c;
    ++pos;
    // A word that begins with "." ends with the next ".": .AND. .OR. .NOT. .T. .F.
    if (c == '.' && word.size() > 1 && word.front() == '.') break;
  }
  return word;
}

size_t ExpParser::MatchingClose(size_t open, size_t end) const {
  int depth = 0;
  for (size_t i = open; i < end; ++i) {
    if (tokens_[i].kind == ExpTokenKind::kOpen) ++depth;
    if (tokens_[i].kind == ExpTokenKind::kClose && --depth == 0) return i;
  }
  RaiseExpression(exp_message::kMissingParenthesis);
}

void ExpParser::CountOperand(const TvrExpBaseObject& node) {
  ++handler_.operandCount_;
  if (node.Kind() == exp_node::kFieldVar || node.Kind() == exp_node::kNumberLiteral) {
    handler_.largestWidth_ = std::max(handler_.largestWidth_, node.Width());
    handler_.largestDecimals_ = std::max(handler_.largestDecimals_, node.Decimals());
  }
}

std::unique_ptr<TvrExpBaseObject> ExpParser::ParseList(size_t begin, size_t end) {
  std::vector<Node> items;
  size_t pos = begin;
  while (pos < end) {
    bool signAllowed = items.empty() || IsUnboundOperator(*items.back());
    Node item = ParseItem(pos, end, signAllowed);
    if (item) items.push_back(std::move(item));
  }
  BindOperators(items);
  if (items.size() != 1) {
    // An operator left without an operand says more than the count of items.
    for (const Node& item : items) {
      if (const TvrExpBaseObject* op = UnboundOperatorIn(item.get())) {
        RaiseExpression(exp_message::kTargetMissing, op->SymbolText());
      }
    }
    RaiseExpression(exp_message::kCannotEvaluate);
  }
  return std::move(items.front());
}

ExpParser::Node ExpParser::ParseItem(size_t& pos, size_t end, bool signAllowed) {
  SkipBlanks(pos, end);
  if (pos >= end) return nullptr;
  std::string word = CollectWord(pos, end);
  if (!word.empty()) return ParseWord(UpperName(word), pos, end);
  const ExpToken& token = tokens_[pos];
  switch (token.kind) {
    case ExpTokenKind::kOperator: {
      ++pos;
      if (signAllowed && (token.code == exp_op::kPlus || token.code == exp_op::kMinus)) {
        return ParseSigned(token.code, pos, end);
      }
      return MakeOperator(token.code);
    }
    case ExpTokenKind::kOpen: {
      size_t close = MatchingClose(pos, end);
      Node inner;
      size_t innerBegin = pos + 1;
      SkipBlanks(innerBegin, close);
      if (innerBegin < close) inner = ParseList(innerBegin, close);
      pos = close + 1;
      return std::make_unique<TvrExpContainer>(std::move(inner));
    }
    case ExpTokenKind::kTextLiteral: {
      ++pos;
      auto literal = std::make_unique<TvrExpTextLit>(token.text);
      CountOperand(*literal);
      return literal;
    }
    case ExpTokenKind::kDateLiteral: {
      ++pos;
      auto literal = std::make_unique<TvrExpDateLit>(DBFDate().TextToDayNumber(token.text));
      CountOperand(*literal);
      return literal;
    }
    default:
      ++pos;  // a stray ")" or "," or control character
      return nullptr;
  }
}

ExpParser::Node ExpParser::MakeOperator(uint8_t code) const {
  TvrExpOperator::Options options;
  options.caseInsensitive = handler_.CaseInsensitive();
  options.patternCompare = handler_.PatternCompare();
  options.manyWildcard = handler_.ManyWildcard();
  options.oneWildcard = handler_.OneWildcard();
  options.link = handler_.UserLink();
  return std::make_unique<TvrExpOperator>(code, OperatorLevel(code), options);
}

ExpParser::Node ExpParser::ParseSigned(uint8_t code, size_t& pos, size_t end) {
  size_t at = pos;
  SkipBlanks(at, end);
  size_t wordEnd = at;
  std::string word = CollectWord(wordEnd, end);
  // A number that follows takes the sign into its word, as stored keys rely on.
  double ignored = 0;
  if (!word.empty() && (IsDigit(word.front()) || platform::TryTextToFloat(word, &ignored))) {
    pos = wordEnd;
    return ParseWord((code == exp_op::kMinus ? "-" : "+") + word, pos, end);
  }
  // Anything else is the operand the sign stands before.
  Node operand;
  while (!operand && pos < end) {
    SkipBlanks(pos, end);
    if (pos < end && tokens_[pos].kind == ExpTokenKind::kOperator &&
        tokens_[pos].code != exp_op::kPlus && tokens_[pos].code != exp_op::kMinus) {
      break;
    }
    operand = ParseItem(pos, end, true);
  }
  if (!operand || IsUnboundOperator(*operand)) RaiseExpression(exp_message::kTargetMissing, OperatorSymbol(code));
  return std::make_unique<TvrExpSign>(code, std::move(operand));
}

ExpParser::Node ExpParser::ParseWord(const std::string& word, size_t& pos, size_t end) {
  char first = word.front();
  // A word right before "(" calls a function; but .AND.( .OR.( .NOT.( are
  // operators before a group, as other programs write them.
  bool dottedKeyword = first == '.' && word.size() > 2 && word.back() == '.' &&
                       std::find(std::begin(kKeywords), std::end(kKeywords),
                                 std::string_view(word).substr(1, word.size() - 2)) != std::end(kKeywords);
  if (pos < end && tokens_[pos].kind == ExpTokenKind::kOpen && !dottedKeyword) return ParseFunction(word, pos, end);
  if (first == '.' || (first >= 'A' && first <= 'Z') || first == '_') {
    if (word.size() >= 2) {
      std::string_view bare(word);
      if (bare.front() == '.') bare.remove_prefix(1);
      if (!bare.empty() && bare.back() == '.') bare.remove_suffix(1);
      auto keyword = std::find(std::begin(kKeywords), std::end(kKeywords), bare);
      if (keyword != std::end(kKeywords)) {
        std::string_view k = *keyword;
        if (k == "T" || k == "TRUE" || k == "F" || k == "FALSE") {
          auto literal = std::make_unique<TvrExpBlnLit>(k == "T" || k == "TRUE");
          CountOperand(*literal);
          return literal;
        }
        uint8_t code = exp_op::kLike;
        if (k == "EQ") code = exp_op::kEqual;
        if (k == "LE") code = exp_op::kLessEqual;
        if (k == "LT") code = exp_op::kLess;
        if (k == "GE") code = exp_op::kGreaterEqual;
        if (k == "GT") code = exp_op::kGreater;
        if (k == "AND") code = exp_op::kAnd;
        if (k == "OR") code = exp_op::kOr;
        if (k == "NOT") code = exp_op::kNot;
        if (k == "POS") code = exp_op::kPos;
        return MakeOperator(code);
      }
    }
    return ParseName(word);
  }
  if (first == '+' || first == '-' || IsDigit(first)) {
    auto literal = std::make_unique<TvrExpNumLit>(word);
    CountOperand(*literal);
    return literal;
  }
  return nullptr;  // "$", "@..." and the like
}

ExpParser::Node ExpParser::ParseName(const std::string& name) {
  TvrExpUserLink* link = handler_.UserLink();
  if (link == nullptr) RaiseExpression(exp_message::kUnknownName, name);
  TvrUserDefFieldVar* variable = link->FindFieldVar(name);
  if (variable == nullptr) RaiseExpression(exp_message::kNoFunction, name);
  auto node = std::make_unique<TvrExpFieldvar>(*variable);
  CountOperand(*node);
  return node;
}

ExpParser::Node ExpParser::ParseFunction(const std::string& name, size_t& pos, size_t end) {
  size_t close = MatchingClose(pos, end);
  TvrUserDefFunction* function = BuiltinFunctions().Find(name);
  if (function == nullptr && handler_.UserLink() != nullptr) function = handler_.UserLink()->FindFunction(name);
  if (function == nullptr) RaiseExpression(exp_message::kNoFunction, name);
  std::vector<Node> arguments;
  size_t begin = pos + 1;
  size_t first = begin;
  SkipBlanks(first, close);
  if (first < close) {
    // Split at the commas outside parentheses; literals are single tokens.
    int depth = 0;
    size_t pieceBegin = begin;
    for (size_t i = begin; i <= close; ++i) {
      ExpTokenKind kind = i < close ? tokens_[i].kind : ExpTokenKind::kComma;
      if (kind == ExpTokenKind::kOpen) ++depth;
      if (kind == ExpTokenKind::kClose) --depth;
      if (kind != ExpTokenKind::kComma || depth != 0) continue;
      size_t nonBlank = pieceBegin;
      SkipBlanks(nonBlank, i);
      if (nonBlank == i) RaiseExpressionNumber(exp_message::kEmptyArgument, static_cast<int32_t>(arguments.size()) + 1, name);
      arguments.push_back(ParseList(pieceBegin, i));
      pieceBegin = i + 1;
    }
  }
  pos = close + 1;
  auto call = std::make_unique<TvrExpFunction>(handler_, *function, std::move(arguments));
  CountOperand(*call);
  return call;
}

void ExpParser::BindOperators(std::vector<Node>& items) {
  for (uint8_t level = 2; level <= 8; ++level) {
    while (true) {
      auto it = std::find_if(items.begin(), items.end(), [level](const Node& item) {
        return IsUnboundOperator(*item) && static_cast<const TvrExpOperator&>(*item).Level() == level;
      });
      if (it == items.end()) break;
      size_t at = static_cast<size_t>(it - items.begin());
      TvrExpBaseObject& op = *items[at];
      op.SetKind(exp_node::kOperatorBound);
      if (at + 1 < items.size()) {
        op.SetRight(std::move(items[at + 1]));
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(at + 1));
      }
      if (level != 6 && at > 0) {
        op.SetLeft(std::move(items[at - 1]));
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(at - 1));
      }
    }
  }
}

}  // namespace velorin
