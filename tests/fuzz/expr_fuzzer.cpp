// The libFuzzer target of the expression evaluator: random expression texts
// against a small table whose current record is random bytes too.
//
// Input: one byte of options (bit 0 case-insensitive, bit 1 pattern comparison
// off, bit 2 SQL-style wildcards, bit 3 the table's text in code page 866), one
// byte n, n bytes written over the start of the current record, then the
// expression text. The text is compiled, evaluated into a buffer and into a
// variant, its text form is compiled again, and it is set as the table's
// filter. Expression, engine and conversion errors are the expected outcome of
// nonsense; a crash, a sanitizer report, another exception or a hang is a fault.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/vr6_dbsy.h"
#include "expr/expression_filter.h"
#include "expr/table_link.h"
#include "expr/vr6_sql.h"
#include "platform/convert_error.h"
#include "engine/table_creator.h"

namespace {

using velorin::VRO_dBHandler;

template <class Action>
void Try(Action action) {
  try {
    action();
  } catch (const velorin::EVelorinError&) {
  } catch (const velorin::platform::EConvertError&) {
  }
}

// A table of every field type the evaluator reads, with three records, made
// once in a temporary directory and opened exclusively.
struct SmallTable {
  SmallTable() {
    char name[] = "/tmp/velorin-exprfuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) abort();
    directory = name;
    path = directory + "/E.DBF";
    velorin::TableSpec layout;
    layout.version = 0x03;
    for (const char* field : {"NAME:C:12", "QTY:N:8:2", "BORN:D", "OK:L", "T:C:1", "WIDE:C:300", "F:F:6:1"}) {
      layout.fields.push_back(velorin::ParseFieldSpec(field));
    }
    velorin::CreateTable(path, layout);
    velorin::InstallExpressionFilter();
    table = std::make_unique<VRO_dBHandler>(path, true, false);
    for (int i = 0; i < 3; ++i) {
      table->BlankRecord();
      table->PutText(1, i == 1 ? "Ivanov" : "\xC8\xE2\xE0\xED\xEE\xE2");
      table->PutNumber(2, 12.5 * i);
      table->PutText(3, "2024013" + std::to_string(i));
      table->PutText(4, i == 0 ? "T" : "F");
      table->Append();
    }
    link = velorin::MakeTableLink(*table);
  }
  ~SmallTable() {
    link.reset();
    table.reset();
    unlink(path.c_str());
    rmdir(directory.c_str());
  }

  std::string directory;
  std::string path;
  std::unique_ptr<VRO_dBHandler> table;
  std::unique_ptr<velorin::TvrExpUserLink> link;
};

SmallTable& Small() {
  static SmallTable small;
  return small;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  SmallTable& small = Small();
  VRO_dBHandler& table = *small.table;
  uint8_t options = data[0];
  table.SetTextCodePage(options & 8 ? 866 : 0);
  table.SetFilterActive(false);
  table.GoRecord(1 + options % 3);
  size_t recordBytes = std::min({size - 2, size_t{data[1]}, static_cast<size_t>(table.RecordLength())});
  std::memcpy(table.CurrentRecord(), data + 2, recordBytes);
  std::string text(reinterpret_cast<const char*>(data + 2 + recordBytes), size - 2 - recordBytes);

  velorin::TvrExpHandler expression(small.link.get(), (options & 4) != 0);
  expression.SetCaseInsensitive((options & 1) != 0);
  expression.SetPatternCompare((options & 2) == 0);
  Try([&] { expression.SetExpression(text); });
  if (expression.HasExpression()) {
    velorin::TvrExpBuffer buffer;
    velorin::TvrVariant value;
    Try([&] { expression.EvaluateToBuffer(buffer); });
    Try([&] { expression.EvaluateToVariant(value); });
    std::string rendered = expression.ExpressionText();
    velorin::TvrExpHandler again(small.link.get());
    Try([&] { again.SetExpression(rendered); });
  }
  // The filter walks the three records from the file, not the random bytes.
  Try([&] {
    table.SetFilter(text, (options & 1) != 0, (options & 2) == 0);
    table.SetFilterActive(true);
    for (table.GoRecord(velorin::nav::kFirst); !table.AtEOF(); table.GoRecord(velorin::nav::kNext)) {
    }
    table.GoRecord(velorin::nav::kLast);
  });
  return 0;
}
