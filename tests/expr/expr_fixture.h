// expr_fixture.h — evaluating expression texts in tests: against no table, or
// against a small table of known records, each result rendered as one text
// ("T:ABC", "N:8", "D:2460341", "B:.T.", "R:" for a field reference).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/vr6_dbsy.h"
#include "expr/table_link.h"
#include "expr/vr6_sql.h"
#include "platform/number_text.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"

namespace velorin::testing {

inline std::string RenderValue(const char* value, TvrExpType type) {
  switch (type) {
    case exp_type::kText: return std::string("T:") + value;
    case exp_type::kNumber:
    case exp_type::kNumber2: return "N:" + platform::FloatToText(ReadExpDouble(value));
    case exp_type::kDate:
    case exp_type::kDate2: return "D:" + platform::FloatToText(ReadExpDouble(value));
    case exp_type::kBoolean: return value[0] != 0 ? "B:.T." : "B:.F.";
    case exp_type::kFieldRef: return "R:";
    default: return "type " + std::to_string(type);
  }
}

// Compiles and evaluates text; the rendered value, or the message raised.
inline std::string Evaluate(const std::string& text, TvrExpUserLink* link = nullptr, bool ignoreCase = false,
                            bool pattern = true) {
  try {
    TvrExpHandler handler(link);
    handler.SetCaseInsensitive(ignoreCase);
    handler.SetPatternCompare(pattern);
    handler.SetExpression(text);
    TvrExpBuffer buffer;
    const char* value = handler.EvaluateToBuffer(buffer);
    if (value == nullptr) return "none";
    return RenderValue(value, handler.ResultType());
  } catch (const std::exception& e) {
    return std::string("error: ") + e.what();
  }
}

// The record bytes of the people table (see PeopleTable).
inline std::string PersonRecord(const std::string& name, const std::string& qty, const std::string& born, char ok,
                                const std::string& t = " ", const std::string& f = " 0", char flag = ' ') {
  auto pad = [](std::string text, size_t n, bool right) {
    if (text.size() < n) text = right ? std::string(n - text.size(), ' ') + text : text + std::string(n - text.size(), ' ');
    return text.substr(0, n);
  };
  return std::string(1, flag) + pad(name, 10, false) + pad(qty, 7, true) + pad(born, 8, false) + ok + pad(t, 1, false) +
         pad(f, 2, true);
}

// NAME C(10), QTY N(7,2), BORN D, OK L, T C(1), F N(2); record 1 is current.
class PeopleTable {
 public:
  static const std::vector<std::string>& Fields() {
    static const std::vector<std::string> fields = {"NAME:C:10", "QTY:N:7:2", "BORN:D", "OK:L", "T:C:1", "F:N:2"};
    return fields;
  }

  explicit PeopleTable(const std::vector<std::string>& records = {PersonRecord("IVANOV", "12.50", "20240131", 'T',
                                                                              "x", "7")}) {
    MakeTable(path_, 0x03, Fields(), records);
    table_ = std::make_unique<VRO_dBHandler>(path_, true, false);
    link_ = MakeTableLink(*table_);
    table_->GoRecord(1);
  }

  VRO_dBHandler& Table() { return *table_; }
  TvrExpUserLink* Link() { return link_.get(); }
  const std::string& Path() const { return path_; }

 private:
  TempDir dir_;
  std::string path_ = dir_.File("PEOPLE.DBF");
  std::unique_ptr<VRO_dBHandler> table_;
  std::unique_ptr<TvrExpUserLink> link_;
};

}  // namespace velorin::testing
