// index_dump.h — running Perl XBase's index_dump (Debian libdbd-xbase-perl) on an
// index file, the independent reader the interop tests compare with.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace velorin::testing {

inline bool HasIndexDump() { return std::system("command -v index_dump >/dev/null 2>&1") == 0; }

// Skips the test when index_dump is not installed.
#define REQUIRE_INDEX_DUMP()               \
  if (!::velorin::testing::HasIndexDump()) \
  GTEST_SKIP() << "index_dump is missing (Debian package libdbd-xbase-perl)"

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

struct DumpRow {
  std::string key;  // the key bytes as stored in the node
  int32_t record;
};

// The entries of a tag with binary keys: index_dump prints each entry as its raw
// key bytes (keyLength of them), a blank and the record number, so the keys are
// read by length, not by line.
inline std::vector<DumpRow> RawIndexDump(const std::string& path, const std::string& tag, size_t keyLength) {
  std::string command = "index_dump --tag=" + tag + " '" + path + "' 2>&1";
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  std::vector<DumpRow> rows;
  size_t at = 0;
  while (at + keyLength + 2 <= output.size() && output[at + keyLength] == ' ') {
    size_t end = output.find('\n', at + keyLength);
    if (end == std::string::npos) break;
    rows.push_back({output.substr(at, keyLength), std::atoi(output.c_str() + at + keyLength + 1)});
    at = end + 1;
  }
  if (at != output.size()) ADD_FAILURE() << "index_dump said: " << output.substr(at, 200);
  return rows;
}

}  // namespace velorin::testing
