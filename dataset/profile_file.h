// profile_file.h — reading INI-style profile files (the alias configuration).
//
// The format: "[section]" headings and "key=value" lines. Section and key names
// are matched without regard to ASCII letter case; white space around
// headings, names and values are dropped; a value wholly enclosed in double
// quotes loses the quotes (so it may keep outer blanks). Lines may end in LF or
// CRLF; a UTF-8 byte-order mark at the start is skipped. Empty lines, lines
// whose first non-blank character is ";", lines without "=" or with an empty
// key, and keys before the first heading are ignored. A heading without its
// closing "]" names the rest of its line. A section that appears twice is read
// as one, its keys in file order. Nothing in the file is an error.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velorin {

class TProfileFile {
 public:
  using Entry = std::pair<std::string, std::string>;  // key, value

  static TProfileFile Parse(std::string_view text);
  // Nothing when the file cannot be read.
  static std::optional<TProfileFile> Load(const std::string& path);

  bool HasSection(std::string_view section) const;
  // The section's entries in file order, a key that appears twice twice.
  std::vector<Entry> Section(std::string_view section) const;
  // The first value of the key in the section.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

 private:
  struct Line {
    std::string section;
    std::string key;
    std::string value;
  };
  std::vector<std::string> sections_;
  std::vector<Line> lines_;
};

}  // namespace velorin
