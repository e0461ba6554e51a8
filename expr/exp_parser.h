// exp_parser.h — the parser behind TvrExpHandler::SetExpression.
//
// Recursive, one level per group and argument: the tokens of a list are turned
// into items (literals, names, function calls, groups, operators), then the
// operators are bound to their neighbours level by level, 2 to 8, each level
// from the left; exactly one item must remain. A "+" or "-" with nothing or an
// operator before it is a sign: glued to a number that follows, and otherwise
// the sign of the next operand. The keywords T, F, TRUE, FALSE, EQ, LE, LT, GE,
// GT, AND, OR, NOT, LIKE and POS (with or without surrounding dots) are
// recognised in names of two or more characters; words that are neither names
// nor numbers ("$", "@...") are skipped, as stored expressions rely on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "expr/exp_nodes.h"
#include "expr/exp_tokens.h"

namespace velorin {

class TvrExpHandler;

class ExpParser {
 public:
  explicit ExpParser(TvrExpHandler& handler) : handler_(handler) {}
  // The tree of the whole text; raises EVelorinExpression.
  std::unique_ptr<TvrExpBaseObject> ParseText(const std::string& text);

 private:
  using Node = std::unique_ptr<TvrExpBaseObject>;

  // The one expression of tokens [begin, end).
  Node ParseList(size_t begin, size_t end);
  // The next item from pos (moved past it); nullptr when what was there is
  // skipped. signAllowed: nothing or an unbound operator precedes.
  Node ParseItem(size_t& pos, size_t end, bool signAllowed);
  Node MakeOperator(uint8_t code) const;
  Node ParseSigned(uint8_t code, size_t& pos, size_t end);
  Node ParseWord(const std::string& word, size_t& pos, size_t end);
  Node ParseFunction(const std::string& name, size_t& pos, size_t end);
  Node ParseName(const std::string& name);
  // The position of the ")" that closes the "(" at open; raises when missing.
  size_t MatchingClose(size_t open, size_t end) const;
  // The word starting at pos ("" when none); pos moves past it.
  std::string CollectWord(size_t& pos, size_t end) const;
  void SkipBlanks(size_t& pos, size_t end) const;
  void CountOperand(const TvrExpBaseObject& node);
  static void BindOperators(std::vector<Node>& items);

  TvrExpHandler& handler_;
  std::vector<ExpToken> tokens_;
};

}  // namespace velorin
