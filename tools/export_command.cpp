// velorin-dbf export FILE [--codepage ...] [--crlf]: the visible records (those
// not marked deleted), in natural order, as UTF-8 CSV (csv.h) on standard
// output. The header row holds the field names; a cell is the field's value as
// field_values.h writes it, an empty cell a blank field. Importing the output
// into an empty table of the same layout gives the same records.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/csv.h"
#include "tools/field_values.h"

namespace velorin::tools {

namespace {

struct ExportOptions {
  TableArguments table;
  bool crlf = false;
};

bool Write(const std::string& text) { return std::fwrite(text.data(), 1, text.size(), stdout) == text.size(); }

int RunExport(const ExportOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kRead);
  int codePage = CodePageFor(options.table, *table);
  const char* lineEnd = options.crlf ? "\r\n" : "\n";
  table->SetUseDeleted(false);
  std::vector<std::string> cells;
  for (int32_t i = 1; i <= table->FieldCount(); ++i) cells.push_back(table->FieldName(i));
  bool written = Write(CsvRecordText(cells, lineEnd));
  for (table->GoRecord(nav::kFirst); written && !table->AtEOF() && table->RecordNumber() > 0;
       table->GoRecord(nav::kNext)) {
    for (int32_t i = 1; i <= table->FieldCount(); ++i) {
      cells[static_cast<size_t>(i - 1)] = FieldValueText(ReadFieldValue(*table, i, codePage));
    }
    written = Write(CsvRecordText(cells, lineEnd));
  }
  return std::fflush(stdout) == 0 && written ? 0 : 1;
}

}  // namespace

void RegisterExportCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command =
      app.add_subcommand("export", "Print the records not marked deleted as UTF-8 CSV with a header row");
  AddTableArguments(command, &options->table, true);
  command->add_flag("--crlf", options->crlf, "End the lines with CR LF instead of LF");
  command->callback([options, &runner] { runner = [options] { return RunExport(*options); }; });
}

}  // namespace velorin::tools
