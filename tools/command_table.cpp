#include "tools/command_table.h"

#include <nlohmann/json.hpp>

#include "engine/dbf_format.h"
#include "platform/code_page.h"
#include "tools/field_values.h"

namespace velorin::tools {

void AddTableArguments(CLI::App* command, TableArguments* arguments, bool withCodePage) {
  command->add_option("FILE", arguments->file, "Table file")->required();
  if (withCodePage) {
    command
        ->add_option("--codepage", arguments->codePage,
                     "Code page of the table's text: 866, 1251 or none (default: the language driver of the "
                     "table, else the ANSI code page)")
        ->check(CLI::IsMember({"866", "1251", "none"}));
  }
}

int CodePageFor(const TableArguments& arguments, const VRO_dBHandler& table) {
  return ChooseCodePage(arguments.codePage, table.HeaderImage()[dbf_header::kLanguageDriver]);
}

std::string ExpressionForTable(const std::string& utf8, int codePage) {
  std::string text;
  platform::Utf8Refusal refusal;
  if (!platform::FromUtf8(utf8, codePage, &text, &refusal)) {
    throw CommandError("The expression holds a character (at " + std::to_string(refusal.characterIndex + 1) +
                       ") that the table's code page lacks");
  }
  return text;
}

std::string RecordJsonLine(VRO_dBHandler& table, int codePage) {
  nlohmann::ordered_json record;
  record["recno"] = table.RecordNumber();
  record["deleted"] = table.IsDeleted();
  nlohmann::ordered_json& fields = record["fields"] = nlohmann::ordered_json::object();
  for (int32_t i = 1; i <= table.FieldCount(); ++i) {
    fields[table.FieldName(i)] = FieldValueJson(ReadFieldValue(table, i, codePage));
  }
  return record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

void GoToExistingRecord(VRO_dBHandler& table, int64_t n) {
  table.ReadHeader();
  if (n < 1 || n > table.RecordCount()) {
    throw CommandError("Record " + std::to_string(n) + " does not exist; the table has " +
                       std::to_string(table.RecordCount()) + " records");
  }
  table.GoRecord(static_cast<int32_t>(n));
}

void SetDeletionMarks(VRO_dBHandler& table, const std::vector<int64_t>& records, bool deleted) {
  for (int64_t n : records) {
    GoToExistingRecord(table, n);
    if (!table.LockRecord()) throw CommandError("Record " + std::to_string(n) + " is locked by another user");
    struct Unlock {
      VRO_dBHandler& table;
      ~Unlock() { table.Unlock(); }
    } unlock{table};
    // Reread under the lock: the record may have changed since it was read.
    table.GoRecord(static_cast<int32_t>(n));
    if (deleted) {
      table.DeleteRecord();
    } else {
      table.RecallRecord();
    }
  }
}

}  // namespace velorin::tools
