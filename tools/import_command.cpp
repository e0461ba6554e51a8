// velorin-dbf import FILE CSV [--codepage ...]: appends the rows of a UTF-8 CSV
// file (csv.h) to the table. The header row names fields, in any letter case and
// any order; fields it leaves out stay blank. A cell is the field's value as
// export writes it (field_values.h): text, a number, YYYY-MM-DD, true or false,
// Base64 for binary memos; an empty cell is a blank field.
//
// Every row is checked against the table before the first is appended, so a row
// that does not fit (an unknown column, too many or too few cells, a text longer
// than its field, a character the code page lacks, a bad number or date) stops
// the import with its row number and the reason, and nothing is appended. Rows
// are the CSV's records counted from the header as row 1 (empty lines are no
// rows); where a row does not start on the line of that number, the line is
// named too.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/text_trim.h"
#include "engine/vr6_eror.h"
#include "platform/code_page.h"
#include "tools/base64.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/csv.h"
#include "tools/field_values.h"

namespace velorin::tools {

namespace {

struct ImportOptions {
  TableArguments table;
  std::string csv;
};

// A row that cannot be imported; what() says which and why.
class RowRefusal : public CommandError {
 public:
  using CommandError::CommandError;
};

std::string RowName(int64_t row, int64_t line) {
  std::string name = "row " + std::to_string(row);
  if (line != row) name += " (line " + std::to_string(line) + ")";
  return name;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CommandError("Cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw CommandError("Cannot read " + path);
  return bytes.str();
}


class Import {
 public:
  Import(VRO_dBHandler& table, int codePage) : table_(table), codePage_(codePage) {}

  // Parses and checks everything; throws RowRefusal (or CsvError).
  void Check(const std::string& text) {
    CsvReader reader(text);
    CsvRecord record;
    if (!reader.Next(&record)) throw RowRefusal("the CSV file holds no header row");
    ReadHeader(record);
    int64_t row = 1;
    while (reader.Next(&record)) {
      ++row;
      if (record.cells.size() != fields_.size()) {
        throw RowRefusal(RowName(row, record.line) + ": " + std::to_string(record.cells.size()) +
                         (record.cells.size() == 1 ? " cell" : " cells") + ", but the header has " +
                         std::to_string(fields_.size()));
      }
      try {
        Store(record.cells, false);
      } catch (const FieldValueError& e) {
        throw RowRefusal(RowName(row, record.line) + ", field " + e.FieldName() + ": " + e.Reason());
      } catch (const EVelorinError& e) {
        throw RowRefusal(RowName(row, record.line) + ": " + e.what());
      }
      rows_.push_back(std::move(record.cells));
    }
  }

  // Appends the checked rows; returns how many.
  int64_t AppendAll() {
    int64_t appended = 0;
    for (const auto& cells : rows_) {
      try {
        Store(cells, true);
        table_.Append();
      } catch (const std::exception& e) {
        throw CommandError(std::string(e.what()) + "\nvelorin-dbf import: stopped after " + std::to_string(appended) +
                           " of " + std::to_string(rows_.size()) + " rows were appended");
      }
      ++appended;
    }
    return appended;
  }

 private:
  void ReadHeader(const CsvRecord& header) {
    std::vector<bool> named(static_cast<size_t>(table_.FieldCount()) + 1, false);
    for (size_t i = 0; i < header.cells.size(); ++i) {
      std::string name = TrimWhiteSpace(header.cells[i]);
      std::string column = RowName(1, header.line) + ", column " + std::to_string(i + 1);
      if (name.empty()) throw RowRefusal(column + ": no field name");
      int32_t number = table_.FieldNumber(name);
      if (number == 0) throw RowRefusal(column + ": the table has no field " + name);
      if (named[static_cast<size_t>(number)]) {
        throw RowRefusal(column + ": field " + table_.FieldName(number) + " is named twice");
      }
      named[static_cast<size_t>(number)] = true;
      fields_.push_back(number);
    }
  }

  // The row's values into the current record; memo values are only checked
  // unless withMemos, which writes them to the memo file.
  void Store(const std::vector<std::string>& cells, bool withMemos) {
    BlankRecordForValues(table_);
    for (size_t i = 0; i < cells.size(); ++i) {
      int32_t number = fields_[i];
      if (!withMemos && table_.IsMemoField(number)) {
        CheckMemo(number, cells[i]);
      } else {
        StoreFieldValue(table_, number, FieldValue::OfText(cells[i]), codePage_);
      }
    }
  }

  // What StoreFieldValue would refuse of a memo value, without writing it.
  void CheckMemo(int32_t number, const std::string& cell) {
    if (cell.empty()) return;
    std::string name = table_.FieldName(number);
    if (table_.MemoFor(number) == nullptr) throw FieldValueError(name, "the table has no memo file");
    std::string bytes;
    if (table_.FieldType(number) != 'M') {
      if (!Base64Decode(cell, &bytes)) throw FieldValueError(name, "the value is not Base64");
      return;
    }
    platform::Utf8Refusal where;
    if (platform::FromUtf8(cell, codePage_, &bytes, &where)) return;
    if (where.codePoint == platform::kNoCharacter) {
      throw FieldValueError(name, "malformed UTF-8 at byte " + std::to_string(where.byteOffset));
    }
    char codePoint[16];
    std::snprintf(codePoint, sizeof codePoint, "U+%04X", static_cast<unsigned>(where.codePoint));
    throw FieldValueError(name, std::string("character ") + codePoint + " (character " +
                                    std::to_string(where.characterIndex + 1) + ") has no byte in code page " +
                                    std::to_string(codePage_));
  }

  VRO_dBHandler& table_;
  int codePage_;
  std::vector<int32_t> fields_;  // field number of each column
  std::vector<std::vector<std::string>> rows_;
};

int RunImport(const ImportOptions& options) {
  std::string text = ReadWholeFile(options.csv);
  auto table = OpenTable(options.table.file, TableAccess::kSharedWrite);
  Import import(*table, CodePageFor(options.table, *table));
  try {
    import.Check(text);
  } catch (const CsvError& e) {
    std::fprintf(stderr, "velorin-dbf import: %s: %s; nothing appended\n", options.csv.c_str(), e.what());
    return 1;
  } catch (const RowRefusal& e) {
    std::fprintf(stderr, "velorin-dbf import: %s: %s; nothing appended\n", options.csv.c_str(), e.what());
    return 1;
  }
  int64_t appended = import.AppendAll();
  std::printf("%lld records appended to %s\n", static_cast<long long>(appended), options.table.file.c_str());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

void RegisterImportCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<ImportOptions>();
  CLI::App* command = app.add_subcommand(
      "import", "Append the rows of a UTF-8 CSV file whose header names fields; nothing when a row does not fit");
  AddTableArguments(command, &options->table, true);
  command->add_option("CSV", options->csv, "CSV file")->required();
  command->callback([options, &runner] { runner = [options] { return RunImport(*options); }; });
}

}  // namespace velorin::tools
