// index_dump.h — running Perl XBase's index_dump (Debian libdbd-xbase-perl) on an
// index file, the independent reader the interop tests compare with.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace velorin::testing {

inline bool HasIndexDump() { return std::system("command -v index_dump >/dev/null 2>&1") == 0; }

// index_dump's lines for a tag ("key recno"), the key without trailing blanks;
// type is "char" or "num". Files of one order take any tag name.
inline std::vector<std::pair<std::string, int32_t>> IndexDump(const std::string& path, const std::string& type,
                                                              const std::string& tag = "X") {
  std::string command = "index_dump --type=" + type + " --tag=" + tag + " '" + path + "' 2>&1";
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
