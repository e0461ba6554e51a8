#include "tools/csv.h"

namespace velorin::tools {

namespace {

constexpr char kQuote = '"';
constexpr char kSeparator = ',';

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

CsvError::CsvError(int64_t line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason), line_(line), reason_(reason) {}

CsvReader::CsvReader(std::string_view text) : text_(text) {
  if (text_.starts_with(kUtf8Bom)) pos_ = kUtf8Bom.size();
}

std::string CsvReader::ReadCell(size_t cellNumber, bool* quoted) {
  std::string cell;
  *quoted = pos_ < text_.size() && text_[pos_] == kQuote;
  if (!*quoted) {
    while (pos_ < text_.size() && text_[pos_] != kSeparator && !IsLineEnd(text_[pos_])) {
      if (text_[pos_] == kQuote) {
        throw CsvError(line_, "cell " + std::to_string(cellNumber) +
                                  " holds a quote but does not start with one (quote the cell and double the quote)");
      }
      cell += text_[pos_++];
    }
    return cell;
  }
  const int64_t openedOn = line_;
  ++pos_;
  for (;;) {
    if (pos_ >= text_.size()) {
      throw CsvError(openedOn, "the quoted cell " + std::to_string(cellNumber) + " is not closed");
    }
    char c = text_[pos_++];
    if (c == kQuote) {
      if (pos_ < text_.size() && text_[pos_] == kQuote) {
        cell += kQuote;
        ++pos_;
        continue;
      }
      break;
    }
    // Line breaks inside the cell still count as lines, so that later errors
    // name the line an editor shows.
    if (c == '\n' || (c == '\r' && (pos_ >= text_.size() || text_[pos_] != '\n'))) ++line_;
    cell += c;
  }
  if (pos_ < text_.size() && text_[pos_] != kSeparator && !IsLineEnd(text_[pos_])) {
    throw CsvError(line_, "text after the closing quote of cell " + std::to_string(cellNumber));
  }
  return cell;
}

bool CsvReader::Next(CsvRecord* record) {
  record->cells.clear();
  while (pos_ < text_.size()) {
    record->line = line_;
    bool holdsSomething = false;  // an empty line holds no record; "" does
    for (;;) {
      bool quoted = false;
      record->cells.push_back(ReadCell(record->cells.size() + 1, &quoted));
      holdsSomething = holdsSomething || quoted || !record->cells.back().empty();
      if (pos_ >= text_.size()) break;
      if (text_[pos_] == kSeparator) {
        holdsSomething = true;
        ++pos_;
        continue;
      }
      if (text_[pos_] == '\r') ++pos_;
      if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
      ++line_;
      break;
    }
    if (holdsSomething) return true;
    record->cells.clear();
  }
  return false;
}

std::vector<CsvRecord> ParseCsv(std::string_view text) {
  std::vector<CsvRecord> records;
  CsvReader reader(text);
  CsvRecord record;
  while (reader.Next(&record)) records.push_back(std::move(record));
  return records;
}

std::string CsvCell(std::string_view cell) {
  bool needsQuotes = cell.find_first_of(",\"\r\n") != std::string_view::npos || cell.starts_with(kUtf8Bom);
  if (!needsQuotes) return std::string(cell);
  std::string quoted(1, kQuote);
  for (char c : cell) {
    if (c == kQuote) quoted += kQuote;
    quoted += c;
  }
  quoted += kQuote;
  return quoted;
}

std::string CsvRecordText(const std::vector<std::string>& cells, std::string_view lineEnd) {
  std::string text;
  if (cells.size() == 1 && cells.front().empty()) {
    text = "\"\"";
  } else {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) text += kSeparator;
      text += CsvCell(cells[i]);
    }
  }
  text += lineEnd;
  return text;
}

}  // namespace velorin::tools
