#include "tools/csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velorin::tools {
namespace {

using Cells = std::vector<std::string>;

std::vector<Cells> CellsOf(std::string_view text) {
  std::vector<Cells> rows;
  for (const CsvRecord& record : ParseCsv(text)) rows.push_back(record.cells);
  return rows;
}

std::vector<int64_t> LinesOf(std::string_view text) {
  std::vector<int64_t> lines;
  for (const CsvRecord& record : ParseCsv(text)) lines.push_back(record.line);
  return lines;
}

// The CsvError a text raises; fails the test when it parses.
CsvError ErrorOf(std::string_view text) {
  try {
    ParseCsv(text);
  } catch (const CsvError& e) {
    return e;
  }
  ADD_FAILURE() << "parsed: " << text;
  return CsvError(0, "");
}

TEST(CsvReading, PlainCellsAndBothLineEnds) {
  EXPECT_EQ(CellsOf("a,b,c\n1,2,3\n"), (std::vector<Cells>{{"a", "b", "c"}, {"1", "2", "3"}}));
  EXPECT_EQ(CellsOf("a,b\r\n1,2\r\n"), (std::vector<Cells>{{"a", "b"}, {"1", "2"}}));
  EXPECT_EQ(CellsOf("a,b\r\n1,2\n3,4\r5,6"), (std::vector<Cells>{{"a", "b"}, {"1", "2"}, {"3", "4"}, {"5", "6"}}));
  EXPECT_EQ(CellsOf("last,without,end"), (std::vector<Cells>{{"last", "without", "end"}}));
  EXPECT_TRUE(CellsOf("").empty());
}

TEST(CsvReading, EmptyCellsKeepTheirPlaces) {
  EXPECT_EQ(CellsOf(",\n"), (std::vector<Cells>{{"", ""}}));
  EXPECT_EQ(CellsOf("a,,c,\n"), (std::vector<Cells>{{"a", "", "c", ""}}));
  EXPECT_EQ(CellsOf("a,"), (std::vector<Cells>{{"a", ""}}));
  EXPECT_EQ(CellsOf(",,"), (std::vector<Cells>{{"", "", ""}}));
}

TEST(CsvReading, BlanksArePartOfTheCell) {
  EXPECT_EQ(CellsOf(" a , b\n"), (std::vector<Cells>{{" a ", " b"}}));
  EXPECT_EQ(CellsOf("\" a \",\"\"\n"), (std::vector<Cells>{{" a ", ""}}));
}

TEST(CsvReading, QuotedCellsHoldSeparatorsQuotesAndLineBreaks) {
  EXPECT_EQ(CellsOf("\"a,b\",\"say \"\"hi\"\"\",\"\"\"\"\n"), (std::vector<Cells>{{"a,b", "say \"hi\"", "\""}}));
  EXPECT_EQ(CellsOf("\"one\ntwo\",\"x\r\ny\",\"cr\rhere\"\nnext\n"),
            (std::vector<Cells>{{"one\ntwo", "x\r\ny", "cr\rhere"}, {"next"}}));
  EXPECT_EQ(CellsOf("\"\"\"\"\"\""), (std::vector<Cells>{{"\"\""}}));
}

TEST(CsvReading, EmptyLinesAreSkippedButAQuotedEmptyCellIsARecord) {
  EXPECT_EQ(CellsOf("\n\na\n\r\n\nb\n\n\n"), (std::vector<Cells>{{"a"}, {"b"}}));
  EXPECT_EQ(CellsOf("\"\"\n\n\"\"\n"), (std::vector<Cells>{{""}, {""}}));
}

TEST(CsvReading, AByteOrderMarkAtTheStartIsDropped) {
  EXPECT_EQ(CellsOf("\xEF\xBB\xBFINPUT,A\nq,a\n"), (std::vector<Cells>{{"INPUT", "A"}, {"q", "a"}}));
  EXPECT_EQ(CellsOf("\xEF\xBB\xBF\"quoted\"\n"), (std::vector<Cells>{{"quoted"}}));
  // Only at the start: later it is text.
  EXPECT_EQ(CellsOf("a\n\xEF\xBB\xBF" "b\n"), (std::vector<Cells>{{"a"}, {"\xEF\xBB\xBF" "b"}}));
}

TEST(CsvReading, CellsAreBytesWhateverTheirEncoding) {
  const std::string cyrillic = "\xD0\x9A\xD1\x83\xD0\xBB\xD0\xB8\xD0\xBA\xD0\xBE\xD0\xB2\xD0\xBE";  // "Куликово"
  EXPECT_EQ(CellsOf(cyrillic + ",\"" + cyrillic + ", 1380\"\n"), (std::vector<Cells>{{cyrillic, cyrillic + ", 1380"}}));
  EXPECT_EQ(CellsOf(std::string("a\0b,\xFF\n", 6)), (std::vector<Cells>{{std::string("a\0b", 3), "\xFF"}}));
}

TEST(CsvReading, RecordsKnowTheLineTheyStartOn) {
  EXPECT_EQ(LinesOf("h\n1\n\n2\n"), (std::vector<int64_t>{1, 2, 4}));
  EXPECT_EQ(LinesOf("h\r\n\"a\r\nb\nc\"\r\n2\r\n"), (std::vector<int64_t>{1, 2, 5}));
  EXPECT_EQ(LinesOf("\"a\rb\"\rnext\r"), (std::vector<int64_t>{1, 3}));
}

TEST(CsvReading, RefusesAStrayQuote) {
  CsvError e = ErrorOf("h1,h2\nok,say \"hi\"\n");
  EXPECT_EQ(e.Line(), 2);
  EXPECT_NE(e.Reason().find("cell 2"), std::string::npos) << e.what();
  EXPECT_EQ(std::string(e.what()).rfind("line 2: ", 0), 0u) << e.what();
}

TEST(CsvReading, RefusesTextAfterAClosingQuote) {
  CsvError e = ErrorOf("a\n\"x\ny\" z,b\n");
  EXPECT_EQ(e.Line(), 3);
  EXPECT_NE(e.Reason().find("after the closing quote of cell 1"), std::string::npos) << e.what();
  EXPECT_EQ(ErrorOf("\"a\"\"\" \n").Line(), 1);
}

TEST(CsvReading, RefusesAQuotedCellLeftOpen) {
  CsvError e = ErrorOf("a,b\n1,\"2\n3,4\n");
  EXPECT_EQ(e.Line(), 2);  // where the cell opened
  EXPECT_NE(e.Reason().find("quoted cell 2 is not closed"), std::string::npos) << e.what();
  EXPECT_EQ(ErrorOf("\"").Line(), 1);
  EXPECT_EQ(ErrorOf("\"\"\"").Line(), 1);
}

TEST(CsvReading, ReaderGivesOneRecordAtATime) {
  std::string text = "a,b\n\"1\n2\",3\n";
  CsvReader reader(text);
  CsvRecord record;
  ASSERT_TRUE(reader.Next(&record));
  EXPECT_EQ(record.cells, (Cells{"a", "b"}));
  ASSERT_TRUE(reader.Next(&record));
  EXPECT_EQ(record.cells, (Cells{"1\n2", "3"}));
  EXPECT_EQ(record.line, 2);
  EXPECT_FALSE(reader.Next(&record));
  EXPECT_TRUE(record.cells.empty());
  EXPECT_FALSE(reader.Next(&record));
}

TEST(CsvWriting, QuotesOnlyWhatMustBeQuoted) {
  EXPECT_EQ(CsvCell("plain text"), "plain text");
  EXPECT_EQ(CsvCell(" blanks "), " blanks ");
  EXPECT_EQ(CsvCell(""), "");
  EXPECT_EQ(CsvCell("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvCell("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvCell("one\ntwo"), "\"one\ntwo\"");
  EXPECT_EQ(CsvCell("cr\r"), "\"cr\r\"");
  EXPECT_EQ(CsvCell("\xEF\xBB\xBFtext"), "\"\xEF\xBB\xBFtext\"");
}

TEST(CsvWriting, RecordsEndWithTheChosenLineEnd) {
  EXPECT_EQ(CsvRecordText({"a", "b,c", ""}), "a,\"b,c\",\n");
  EXPECT_EQ(CsvRecordText({"a", "b"}, "\r\n"), "a,b\r\n");
  EXPECT_EQ(CsvRecordText({""}), "\"\"\n");
  EXPECT_EQ(CsvRecordText({"", ""}), ",\n");
}

TEST(CsvWriting, WhatIsWrittenReadsBackTheSame) {
  const std::vector<Cells> rows = {
      {"INPUT", "A", "B"},
      {"Кто сказал: \"Пришёл, увидел, победил\"?", "Цезарь", "\"Никто\""},
      {"", "", ""},
      {"line\nbreak", "cr\rlf\r\n", " , "},
      {"\"", "\"\"", ","},
      {"\xEF\xBB\xBF", "x", "y"},
  };
  for (const char* lineEnd : {"\n", "\r\n"}) {
    std::string text;
    for (const Cells& row : rows) text += CsvRecordText(row, lineEnd);
    EXPECT_EQ(CellsOf(text), rows) << text;
  }
  std::string single = CsvRecordText({""}) + CsvRecordText({"x"}) + CsvRecordText({""});
  EXPECT_EQ(CellsOf(single), (std::vector<Cells>{{""}, {"x"}, {""}}));
}

}  // namespace
}  // namespace velorin::tools
