// index_dump.h — reading index files with Perl XBase's index_dump, an
// independent reader, for the interop tests of the index families.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace velorin::testing {

inline bool HasIndexDump() { return std::system("command -v index_dump >/dev/null 2>&1") == 0; }

#define REQUIRE_INDEX_DUMP()             \
  if (!::velorin::testing::HasIndexDump()) \
  GTEST_SKIP() << "index_dump is missing (Debian package libdbd-xbase-perl)"

// index_dump's lines: "key recno", the key without its trailing blanks.
inline std::vector<std::pair<std::string, int32_t>> IndexDump(const std::string& path, const std::string& type) {
  std::string command = "index_dump --type=" + type + " --tag=X '" + path + "' 2>&1";
  std::vector<std::pair<std::string, int32_t>> rows;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return rows;
  char line[1024];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    size_t blank = text.rfind(' ');
    if (blank == std::string::npos) continue;
    std::string key = text.substr(0, blank);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    rows.emplace_back(key, std::atoi(text.c_str() + blank + 1));
  }
  pclose(pipe);
  return rows;
}

}  // namespace velorin::testing
