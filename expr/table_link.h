// table_link.h — a table's link to the evaluator: its fields as variables and
// the table functions RECNO, DELETED, BOF, EOF, TYPE and LEN.
//
// Field variables are evaluated by the field's type through the table's field
// layer: C text (3), D date (6, the day number; 0 when blank), F and N number
// (4), L boolean (8), any other type a field reference (9). A character field
// wider than a value (511 bytes) cannot be read into an expression and raises
// an expression error. Text is in the table's code page, and UPPER, LOWER and
// case-insensitive comparisons fold it in that code page (the handler's
// TextCodePage; the ANSI code page when it has none).
#pragma once

#include <memory>

#include "expr/exp_registry.h"

namespace velorin {

class VRO_dBaseFld;

// The link of one open table; it must not outlive the table.
std::unique_ptr<TvrExpUserLink> MakeTableLink(VRO_dBaseFld& table);

}  // namespace velorin
