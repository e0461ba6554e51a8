// command_table.h — what the table commands of velorin-dbf share: the FILE
// argument and --codepage option, opening the table the way the command needs
// it, and reaching a record by number.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/vr6_dbsy.h"

namespace velorin::tools {

// A refusal of a command that is not an engine error (a record that does not
// exist, input that is not JSON); exit status 1 like an engine error.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TableArguments {
  std::string file;
  std::string codePage;  // "", "866", "1251" or "none"
};

// Adds the FILE argument and, when withCodePage, --codepage 866|1251|none.
void AddTableArguments(CLI::App* command, TableArguments* arguments, bool withCodePage);

enum class TableAccess {
  kRead,         // read-only, shared with other programs
  kSharedWrite,  // read-write, shared: as one more user of the table
  kExclusive,    // read-write, nobody else may have it open
};

// Opens the table; the engine's error (missing file, damaged header, a table in
// use by another program) passes through as EVelorinError.
template <class Handler = VRO_dBHandler>
std::unique_ptr<Handler> OpenTable(const std::string& file, TableAccess access) {
  return std::make_unique<Handler>(file, access != TableAccess::kRead, access != TableAccess::kExclusive);
}

// The code page of the table's text (field_values.h ChooseCodePage).
int CodePageFor(const TableArguments& arguments, const VRO_dBHandler& table);

// An expression typed in UTF-8, in the table's code page; CommandError when it
// holds a character the code page lacks.
std::string ExpressionForTable(const std::string& utf8, int codePage);

// The current record as dump prints it: one JSON line {"recno", "deleted",
// "fields"} with its newline, texts converted from codePage to UTF-8.
std::string RecordJsonLine(VRO_dBHandler& table, int codePage);

// Makes record n current, whatever it holds; CommandError when there is no such
// record (other programs' appends are counted).
void GoToExistingRecord(VRO_dBHandler& table, int64_t n);

// Marks each record deleted (or active), in the order given, each under its
// record lock as an editing user would; CommandError when a record does not
// exist or another program holds its lock. The records before stay changed.
void SetDeletionMarks(VRO_dBHandler& table, const std::vector<int64_t>& records, bool deleted);

}  // namespace velorin::tools
