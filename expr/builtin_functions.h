// builtin_functions.h — the 28 built-in functions of expressions, and what
// their implementations share.
//
// Every function reads its arguments with TvrExpFunction::FetchArgument, which
// checks their types; a required argument that is missing makes the call fail
// (the undefined type). Text results are zero-terminated in the result buffer
// and never longer than kExpMaxTextLength; counts and lengths taken from
// numbers are truncated and kept inside the buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "expr/exp_nodes.h"
#include "expr/exp_registry.h"

namespace velorin {

// The functions in their order of registration (ALLTRIM ... VAL).
std::vector<std::unique_ptr<TvrUserDefFunction>> MakeTextFunctions();
std::vector<std::unique_ptr<TvrUserDefFunction>> MakeValueFunctions();

namespace builtin {

// Argument i of the required type into the call's scratch buffer i: the
// buffer, or nullptr when the argument is missing.
char* FetchRequired(TvrExpFunction& call, int i, TvrExpType required);
// Argument i as a text; false when missing.
bool FetchText(TvrExpFunction& call, int i, std::string_view& text);
// Argument i as a number (a date for FetchDate); false when missing.
bool FetchNumber(TvrExpFunction& call, int i, double& value);
bool FetchDate(TvrExpFunction& call, int i, double& day);
// Optional argument i: true and its value only when it is there and a number.
bool OptionalNumber(TvrExpFunction& call, int i, double& value);
// A count from a number: truncated toward zero, NaN as 0, kept within
// -1,000,000,000 .. 1,000,000,000 so that no arithmetic on it overflows.
int64_t TruncCount(double value);
// A text result: copies text and its terminator, type text.
bool ReturnText(char* result, TvrExpType& type, std::string_view text, const TvrExpFunction& call);
bool ReturnNumber(char* result, TvrExpType& type, double value);

}  // namespace builtin

}  // namespace velorin
