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
