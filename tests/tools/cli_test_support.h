// cli_test_support.h — running velorin-dbf and the peer programs from tests.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace velorin::testing {

struct CommandResult {
  int status;
  std::string out;
};

// velorin-dbf with the given arguments (shell syntax); stderr joins stdout when
// mergeErrors.
inline CommandResult Dbf(const std::string& arguments, const std::string& input = "", bool mergeErrors = false) {
  CommandResult result;
  std::string command = std::string(VELORIN_DBF_TOOL) + " " + arguments + (mergeErrors ? " 2>&1" : "");
  result.status = RunCommand(command, &result.out, input);
  return result;
}

// t.dbf in the current directory: NAME C(10), QTY N(6,1), WHEN D, and three
// records: pear 3 2024-03-01, apple -1.5 1999-12-31, Cherry 10 (no date).
inline void MakeFruitTable() {
  ASSERT_EQ(Dbf("create t.dbf --field NAME:C:10 --field QTY:N:6:1 --field WHEN:D").status, 0);
  ASSERT_EQ(Dbf("append t.dbf", R"({"NAME":"pear","QTY":3,"WHEN":"2024-03-01"}
{"NAME":"apple","QTY":-1.5,"WHEN":"1999-12-31"}
{"NAME":"Cherry","QTY":10,"WHEN":null}
)").status, 0);
}

// The JSON values of a program's output, one a line (empty lines skipped).
inline std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(nlohmann::json::parse(line));
  }
  return lines;
}

// Debian's Python, where python3-dbf and python3-dbfread live.
inline bool PythonHas(const std::string& module) {
  return RunCommand("/usr/bin/python3 -c 'import " + module + "' 2>/dev/null") == 0;
}

inline CommandResult Python(const std::string& script) {
  CommandResult result;
  result.status = RunCommand("/usr/bin/python3 - 2>&1", &result.out, script);
  return result;
}

}  // namespace velorin::testing
