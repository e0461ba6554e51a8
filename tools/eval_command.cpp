// velorin-dbf eval FILE EXPR [--recno N] [--deleted] [--codepage ...]: the value
// of an expression on every record, or on record N, as JSON Lines
// {"recno", "type", "value"}: "text" (UTF-8), "number", "date" ("YYYY-MM-DD",
// null when blank), "boolean"; a field without a value of its own is "field"
// and a failed function "undefined", both with null.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/vr6_Date.h"
#include "expr/table_link.h"
#include "expr/vr6_sql.h"
#include "platform/code_page.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"

namespace velorin::tools {

namespace {

struct EvalOptions {
  TableArguments table;
  std::string expression;
  int64_t recno = 0;
  bool deleted = false;
};

nlohmann::ordered_json DateJson(double day) {
  int year = 0;
  int month = 0;
  int dayOfMonth = 0;
  if (day == kBlankDate || !DBFDate().DecodeDayNumber(DayNumberFromDouble(day), &year, &month, &dayOfMonth)) {
    return nullptr;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, dayOfMonth);
  return text;
}

nlohmann::ordered_json ValueLine(int32_t recno, const char* value, TvrExpType type, int codePage) {
  nlohmann::ordered_json line;
  line["recno"] = recno;
  switch (type) {
    case exp_type::kText:
      line["type"] = "text";
      line["value"] = platform::ToUtf8(value, codePage);
      break;
    case exp_type::kNumber:
    case exp_type::kNumber2:
      line["type"] = "number";
      line["value"] = ReadExpDouble(value);
      break;
    case exp_type::kDate:
    case exp_type::kDate2:
      line["type"] = "date";
      line["value"] = DateJson(ReadExpDouble(value));
      break;
    case exp_type::kBoolean:
      line["type"] = "boolean";
      line["value"] = value[0] != 0;
      break;
    case exp_type::kFieldRef:
      line["type"] = "field";
      line["value"] = nullptr;
      break;
    default:
      line["type"] = "undefined";
      line["value"] = nullptr;
  }
  return line;
}

int RunEval(const EvalOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kRead);
  int codePage = CodePageFor(options.table, *table);
  table->SetTextCodePage(codePage);  // letter case in UPPER, LOWER and comparisons
  std::unique_ptr<TvrExpUserLink> link = MakeTableLink(*table);
  if (options.recno > 0) {
    GoToExistingRecord(*table, options.recno);
  } else {
    table->SetUseDeleted(options.deleted);
    table->GoRecord(nav::kFirst);
  }
  TvrExpHandler expression(link.get(), false, ExpressionForTable(options.expression, codePage));
  TvrExpBuffer buffer;
  std::string text;
  auto print = [&] {
    const char* value = expression.EvaluateToBuffer(buffer);
    text = ValueLine(table->RecordNumber(), value, value == nullptr ? exp_type::kNone : expression.ResultType(),
                     codePage)
               .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
  };
  if (options.recno > 0) {
    print();
  } else {
    for (; !table->AtEOF() && table->RecordNumber() > 0; table->GoRecord(nav::kNext)) print();
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

void RegisterEvalCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<EvalOptions>();
  CLI::App* command = app.add_subcommand("eval", "Print the value of an expression on each record as JSON Lines");
  AddTableArguments(command, &options->table, true);
  command->add_option("EXPR", options->expression, "The expression")->required();
  command->add_option("--recno", options->recno, "Only this record")->check(CLI::PositiveNumber);
  command->add_flag("--deleted", options->deleted, "Include the deleted records");
  command->callback([options, &runner] { runner = [options] { return RunEval(*options); }; });
}

}  // namespace velorin::tools
