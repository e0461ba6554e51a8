// text_trim.h — the one way text is trimmed.
//
// Field text is padded with blanks (0x20) only: a tab or a line end inside a
// field is data, and the Blanks functions keep it. Text that people type or that
// comes from text files (profile lines, command arguments, question texts) is
// trimmed of white space: blanks, tabs, carriage returns and line feeds.
#pragma once

#include <string>
#include <string_view>

namespace velorin {

inline constexpr std::string_view kWhiteSpace = " \t\r\n";

// The trimmed part of the text itself, without a copy (expressions trim on
// every evaluation).
inline std::string_view TrailingBlanksTrimmed(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

inline std::string_view LeadingBlanksTrimmed(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  return begin == std::string_view::npos ? std::string_view() : text.substr(begin);
}

inline std::string TrimTrailingBlanks(std::string_view text) { return std::string(TrailingBlanksTrimmed(text)); }

inline std::string TrimLeadingBlanks(std::string_view text) { return std::string(LeadingBlanksTrimmed(text)); }

inline std::string TrimBlanks(std::string_view text) { return TrimLeadingBlanks(TrimTrailingBlanks(text)); }

inline std::string TrimWhiteSpace(std::string_view text) {
  size_t begin = text.find_first_not_of(kWhiteSpace);
  if (begin == std::string_view::npos) return std::string();
  return std::string(text.substr(begin, text.find_last_not_of(kWhiteSpace) - begin + 1));
}

}  // namespace velorin
