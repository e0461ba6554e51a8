#include "dataset/profile_file.h"

#include <fstream>
#include <iterator>

#include "dataset/fields.h"
#include "engine/text_trim.h"

namespace velorin {

TProfileFile TProfileFile::Parse(std::string_view text) {
  TProfileFile file;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::optional<std::string> section;
  size_t start = 0;
  while (start < text.size()) {
    size_t newline = text.find('\n', start);
    if (newline == std::string_view::npos) newline = text.size();
    std::string line = TrimWhiteSpace(text.substr(start, newline - start));
    start = newline + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      section = TrimWhiteSpace(std::string_view(line).substr(1, close == std::string::npos ? std::string::npos : close - 1));
      bool known = false;
      for (const auto& s : file.sections_) known = known || SameTextIgnoringCase(s, *section);
      if (!known) file.sections_.push_back(*section);
      continue;
    }
    size_t equals = line.find('=');
    if (!section || equals == std::string::npos) continue;
    std::string key = TrimWhiteSpace(std::string_view(line).substr(0, equals));
    std::string value = TrimWhiteSpace(std::string_view(line).substr(equals + 1));
    if (key.empty()) continue;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    file.lines_.push_back({*section, key, value});
  }
  return file;
}

std::optional<TProfileFile> TProfileFile::Load(const std::string& path) {
  // Reading a directory or an unreadable file throws from inside the stream.
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return Parse(text);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool TProfileFile::HasSection(std::string_view section) const {
  for (const auto& s : sections_) {
    if (SameTextIgnoringCase(s, section)) return true;
  }
  return false;
}

std::vector<TProfileFile::Entry> TProfileFile::Section(std::string_view section) const {
  std::vector<Entry> entries;
  for (const auto& line : lines_) {
    if (SameTextIgnoringCase(line.section, section)) entries.emplace_back(line.key, line.value);
  }
  return entries;
}

std::optional<std::string> TProfileFile::Value(std::string_view section, std::string_view key) const {
  for (const auto& line : lines_) {
    if (SameTextIgnoringCase(line.section, section) && SameTextIgnoringCase(line.key, key)) return line.value;
  }
  return std::nullopt;
}

}  // namespace velorin
