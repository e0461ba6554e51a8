#include "dataset/blob_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dataset/Velorin6DB.h"
#include "support/child_process.h"
#include "support/raised_message.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::MakeTable;
using testing::RaisedMessage;
using testing::ReadFileBytes;
using testing::TempDir;

std::string ReadWhole(TStream& stream) {
  std::string content(static_cast<size_t>(stream.Size()), '\0');
  if (!content.empty()) content.resize(static_cast<size_t>(stream.Read(content.data(), stream.Size())));
  return content;
}

int RunPython(const std::string& script, std::string* out) {
  return testing::RunCommand("/usr/bin/python3 - 2>&1", out, script);
}

// The memo of the first record as dbfread reads it. dbfread takes a dBase IV
// block's stored length for the text alone, though it counts the 8-byte block
// header too, and so returns 8 bytes past the text: they are dropped here.
std::string DbfreadFirstMemo(const std::string& table, const std::string& expression) {
  return "import dbfread\n"
         "t = dbfread.DBF('" + table + "', encoding='cp866')\n"
         "v = list(t)[0]['NOTE']\n"
         "if t.header.dbversion == 0x8B: v = v[:-8]\n"
         "print(" + expression + ")\n";
}

class BlobStreamTest : public ::testing::TestWithParam<uint8_t> {
 protected:
  void SetUp() override {
    MakeTable(path_, GetParam(), {"NAME:C:10", "NOTE:M"}, {" " + std::string(10, ' ') + std::string(10, ' ')});
    data_.SetTableName("NOTES");
    data_.Open();
  }
  TField& Note() { return data_.FieldByName("NOTE"); }
  std::string MemoFile() const { return MemoFileFor(path_, GetParam(), true); }

  TempDir dir_;
  std::string path_ = dir_.File("NOTES.DBF");
  TVelorinDataSet data_{"Notes"};
};

TEST_P(BlobStreamTest, AMemoWithoutABlockIsNullAndReadsEmpty) {
  EXPECT_TRUE(Note().IsNull());
  EXPECT_EQ(data_.FieldText("NOTE"), "");
  auto stream = data_.CreateBlobStream(Note(), TBlobStreamMode::Read);
  EXPECT_EQ(stream->Size(), 0);
  char byte = 'x';
  EXPECT_EQ(stream->Read(&byte, 1), 0);
}

TEST_P(BlobStreamTest, AWrittenMemoIsReadBackByTheDataSetAndByDbfread) {
  data_.Edit();
  {
    auto stream = data_.CreateBlobStream(Note(), TBlobStreamMode::Write);
    const std::string text = "Line one\r\nLine two";
    EXPECT_EQ(stream->Write(text.data(), static_cast<int32_t>(text.size())), static_cast<int32_t>(text.size()));
  }  // destroying the stream stores it
  EXPECT_TRUE(Note().Modified());
  EXPECT_TRUE(data_.Modified());
  data_.Post();
  EXPECT_FALSE(Note().IsNull());
  data_.Close();
  data_.Open();
  EXPECT_EQ(data_.FieldText("NOTE"), "Line one\r\nLine two");

  std::string out;
  ASSERT_EQ(RunPython(DbfreadFirstMemo(path_, "repr(v)"), &out),
            0)
      << out;
  EXPECT_EQ(out, "'Line one\\r\\nLine two'\n");
}

TEST_P(BlobStreamTest, CyrillicMemoTextIsStoredInTheOemCodePage) {
  const std::string text1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет"
  const std::string text866 = "\x8F\xE0\xA8\xA2\xA5\xE2";
  data_.Edit();
  Note().SetAsString(text1251);
  data_.Post();
  EXPECT_EQ(Note().AsString(), text1251);
  EXPECT_NE(ReadFileBytes(MemoFile()).find(text866), std::string::npos);
  EXPECT_EQ(ReadFileBytes(MemoFile()).find(text1251), std::string::npos);
  std::string out;
  ASSERT_EQ(RunPython(DbfreadFirstMemo(path_, "v == '\\u041f\\u0440\\u0438\\u0432\\u0435\\u0442'"), &out),
            0)
      << out;
  EXPECT_EQ(out, "True\n");
}

TEST_P(BlobStreamTest, WritingAnEmptyTextStoresAnEmptyMemo) {
  data_.Edit();
  Note().SetAsString("something");
  data_.Post();
  data_.Edit();
  { auto stream = data_.CreateBlobStream(Note(), TBlobStreamMode::Write); }
  data_.Post();
  EXPECT_EQ(data_.FieldText("NOTE"), "");
}

TEST_P(BlobStreamTest, AppendValuesTakesMemoText) {
  data_.AppendValues({std::string("Second"), std::string("a memo of the new record")});
  EXPECT_EQ(data_.RecordNumber(), 2);
  data_.First();
  data_.Next();
  EXPECT_EQ(data_.FieldText("NOTE"), "a memo of the new record");
}

TEST_P(BlobStreamTest, ReadingStopsAtTheEnd) {
  data_.Edit();
  Note().SetAsString(std::string(100, 'm'));
  data_.Post();
  auto stream = data_.CreateBlobStream(Note(), TBlobStreamMode::Read);
  char buffer[150];
  EXPECT_EQ(stream->Read(buffer, 150), 100);
  EXPECT_EQ(stream->Read(buffer, 150), 0);
  EXPECT_EQ(stream->Seek(90, TSeekOrigin::Beginning), 90);
  EXPECT_EQ(stream->Read(buffer, 150), 10);
  EXPECT_EQ(stream->Seek(-5, TSeekOrigin::Current), 95);
  EXPECT_EQ(stream->Seek(-500, TSeekOrigin::End), 0);  // never below 0
  EXPECT_EQ(stream->Seek(10, TSeekOrigin::End), 110);
  EXPECT_EQ(stream->Read(buffer, 5), 0);  // beyond the end
}

TEST_P(BlobStreamTest, WritingDropsWhatFollowsAndFillsGapsWithZeros) {
  data_.Edit();
  auto stream = data_.CreateBlobStream(Note(), TBlobStreamMode::ReadWrite);
  stream->Write("abcdef", 6);
  stream->Seek(2, TSeekOrigin::Beginning);
  stream->Write("X", 1);
  EXPECT_EQ(stream->Size(), 3);
  stream->Seek(5, TSeekOrigin::Beginning);
  stream->Write("Y", 1);
  EXPECT_EQ(stream->Size(), 6);
  stream->Seek(0, TSeekOrigin::Beginning);
  EXPECT_EQ(ReadWhole(*stream), std::string("abX\0\0Y", 6));
  EXPECT_EQ(stream->Write("z", 0), 0);
  EXPECT_EQ(stream->Write("z", -3), 0);
}

TEST_P(BlobStreamTest, WritingNeedsTheEditStateAndAWritableField) {
  EXPECT_EQ(RaisedMessage([&] { data_.CreateBlobStream(Note(), TBlobStreamMode::Write); }),
            "Dataset not in edit or insert mode");
  EXPECT_EQ(RaisedMessage([&] { data_.CreateBlobStream(Note(), TBlobStreamMode::ReadWrite); }),
            "Dataset not in edit or insert mode");
  data_.Edit();
  Note().SetReadOnly(true);
  EXPECT_EQ(RaisedMessage([&] { data_.CreateBlobStream(Note(), TBlobStreamMode::Write); }),
            "Поле 'NOTE' не может быть изменено");
  data_.CreateBlobStream(Note(), TBlobStreamMode::Read);  // reading is allowed
}

TEST_P(BlobStreamTest, AStreamLeftAfterTheEditEndedStoresNothing) {
  data_.Edit();
  auto stream = data_.CreateBlobStream(Note(), TBlobStreamMode::Write);
  stream->Write("late", 4);
  data_.Cancel();
  stream.reset();
  EXPECT_TRUE(Note().IsNull());
}

INSTANTIATE_TEST_SUITE_P(MemoFormats, BlobStreamTest, ::testing::Values(0x83, 0x8B, 0xF5),
                         [](const ::testing::TestParamInfo<uint8_t>& info) {
                           switch (info.param) {
                             case 0x83: return std::string("DBase3");
                             case 0x8B: return std::string("DBase4");
                             default: return std::string("FoxPro");
                           }
                         });

class BinaryBlobTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.File("PICS.DBF");
};

TEST_F(BinaryBlobTest, BinaryContentIsNeverConvertedAndKeepsZeroBytes) {
  MakeTable(path_, 0xF5, {"PIC:G", "NOTE:M"});
  TVelorinDataSet data("Pics");
  data.SetTableName("PICS");
  data.Open();
  const std::string bytes("\xC8\x00\xE2\xE0\x00\xED", 6);
  data.AppendValues({bytes, bytes});
  EXPECT_EQ(data.FieldByName("PIC").Kind(), TFieldKind::Blob);
  EXPECT_EQ(data.FieldByName("PIC").AsString(), bytes);
  EXPECT_EQ(data.FieldText("NOTE"), bytes);  // converted for exactly its size, zero bytes included
  std::string memo = ReadFileBytes(MemoFileFor(path_, 0xF5, true));
  EXPECT_NE(memo.find(bytes), std::string::npos);
  EXPECT_NE(memo.find(std::string("\x88\x00\xA2\xA0\x00\xAD", 6)), std::string::npos);
}

TEST_F(BinaryBlobTest, AMissingMemoFileFailsAndLeavesTheHandlerOnItsOwnRecord) {
  MakeTable(path_, 0x83, {"NOTE:M"}, {" " + std::string(9, ' ') + "1"});
  std::filesystem::remove(MemoFileFor(path_, 0x83, true));
  TVelorinDataSet data("Pics");
  data.SetTableName("PICS");
  data.Open();
  DBFObject* handler = data.Handler();
  std::string message = RaisedMessage([&] { (void)data.FieldText("NOTE"); });
  EXPECT_NE(message.find("File not found"), std::string::npos) << message;
  EXPECT_EQ(handler->CurrentRecord(), handler->RecordBuffer());

  // A stream that cannot store its content on destruction says so through the
  // program's error display.
  std::vector<std::string> shown;
  SetErrorDisplay([&](const std::string& text) { shown.push_back(text); });
  data.Edit();
  {
    auto stream = data.CreateBlobStream(data.FieldByName("NOTE"), TBlobStreamMode::Write);
    stream->Write("text", 4);
  }
  SetErrorDisplay(nullptr);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("File not found"), std::string::npos) << shown[0];
  EXPECT_EQ(handler->CurrentRecord(), handler->RecordBuffer());
  data.Cancel();
}

}  // namespace
}  // namespace velorin
