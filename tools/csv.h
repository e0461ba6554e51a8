// csv.h — comma-separated values as RFC 4180 has them, for import and export.
//
// A CSV text is a sequence of records, each a list of cells separated by commas
// and ended by LF or CR LF (the last record may end without). A cell that holds a
// comma, a double quote, CR or LF is enclosed in double quotes, and a quote inside
// it is doubled; between the quotes, commas and line breaks belong to the cell.
// Cells are bytes: neither reading nor writing looks at their encoding.
//
// Reading also takes what other programs write: a UTF-8 byte-order mark at the
// start, a lone CR as a line end, a last record without a line end. An empty
// line holds no record and is skipped (blank lines left at the end of a file
// edited by hand are harmless), so a record of one empty cell is written as "".
// Reading refuses, with CsvError naming the line and the cell, a quote inside a
// cell that does not start with one, anything but a comma or a line end after a
// cell's closing quote, and a quoted cell that the text ends inside.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::tools {

// The UTF-8 byte-order mark.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct CsvRecord {
  std::vector<std::string> cells;
  int64_t line = 0;  // the line of the text on which the record starts, from 1
};

// A text that is not CSV; what() is "line N: reason".
class CsvError : public std::runtime_error {
 public:
  CsvError(int64_t line, const std::string& reason);
  int64_t Line() const { return line_; }
  const std::string& Reason() const { return reason_; }

 private:
  int64_t line_;
  std::string reason_;
};

// The records of a text, one at a time. The text must outlive the reader.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text);

  // The next record into *record; false (and *record emptied) at the end of the
  // text. Throws CsvError; the reader is then of no further use.
  bool Next(CsvRecord* record);

 private:
  // One cell starting at pos_; cellNumber (from 1) only names it in errors.
  std::string ReadCell(size_t cellNumber, bool* quoted);

  std::string_view text_;
  size_t pos_ = 0;
  int64_t line_ = 1;
};

// Every record of a text (CsvReader).
std::vector<CsvRecord> ParseCsv(std::string_view text);

// One cell as it is written: quoted when it holds a comma, a quote, CR or LF, or
// starts with a byte-order mark (which a reader would otherwise drop).
std::string CsvCell(std::string_view cell);

// One record as it is written, ended by lineEnd ("\n" or "\r\n"). cells must not
// be empty.
std::string CsvRecordText(const std::vector<std::string>& cells, std::string_view lineEnd = "\n");

}  // namespace velorin::tools
