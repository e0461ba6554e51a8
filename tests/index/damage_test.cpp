// Damaged NDX files: an engine error naming the file, never a crash or a hang.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "index/index_fixture.h"
#include "index/ndx_format.h"

namespace velorin {
namespace {

using namespace ndx_format;

class NdxDamageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 300; ++i) rows.push_back({"K" + std::to_string((i * 37) % 300)});
    table_ = testing::MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:6"}, rows);
    testing::MakeNdx(*table_, dir_.File("NAME.NDX"), "NAME");
    bytes_ = testing::ReadFileBytes(dir_.File("NAME.NDX"));
    root_ = testing::LE32At(bytes_, header::kRoot);
  }
  // Opens the damaged file and uses it every way; the message of the engine
  // error raised, or "" when everything worked.
  std::string Use(const std::string& damaged) {
    testing::WriteFileBytes(dir_.File("NAME.NDX"), damaged);
    table_->CloseIndexes();
    try {
      table_->OpenIndex("NAME.NDX");
      std::string tag = "NAME";
      table_->SelectOrder(&tag, false);
      int steps = 0;
      for (table_->GoRecord(nav::kFirst); !table_->AtEOF() && steps < 10000; table_->GoRecord(nav::kNext)) ++steps;
      table_->Find("K150");
      table_->GoRecord(5);
      table_->PutTextByName("NAME", "NEW");
      table_->WriteRecord(5);
    } catch (const EVelorinError& e) {
      return e.what();
    }
    return "";
  }
  void PutLE32(std::string& bytes, size_t offset, uint32_t value) {
    byte_order::PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + offset, value);
  }
  void PutLE16(std::string& bytes, size_t offset, uint16_t value) {
    byte_order::PutLE16(reinterpret_cast<uint8_t*>(bytes.data()) + offset, value);
  }

  testing::TempDir dir_;
  std::unique_ptr<VRO_dBHandler> table_;
  std::string bytes_;
  uint32_t root_ = 0;
};

TEST_F(NdxDamageTest, EachKindOfDamageIsError2112NamingTheFile) {
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  };
  size_t rootAt = root_ * kBlockSize;
  std::vector<Case> cases{
      {"a leaf counting more keys than fit", [&](std::string& b) { PutLE32(b, kBlockSize, 200); }},
      {"a root counting more keys than fit", [&](std::string& b) { PutLE32(b, rootAt, 1000); }},
      {"a child pointing back at the root", [&](std::string& b) { PutLE32(b, rootAt + node::kEntries, root_); }},
      {"a child beyond the file", [&](std::string& b) { PutLE32(b, rootAt + node::kEntries, 99999); }},
      {"a root beyond the file", [&](std::string& b) { PutLE32(b, header::kRoot, 77777); }},
      {"a root of 0", [&](std::string& b) { PutLE32(b, header::kRoot, 0); }},
      {"a file cut inside the root", [&](std::string& b) { b.resize(rootAt + 100); }},
      {"a key length of 0", [&](std::string& b) { PutLE16(b, header::kKeyLength, 0); }},
      {"a negative key length", [&](std::string& b) { PutLE16(b, header::kKeyLength, 0xFFF0); }},
      {"an entry length shorter than the key", [&](std::string& b) { PutLE16(b, header::kEntryLength, 8); }},
      {"an oversized entry length", [&](std::string& b) { PutLE16(b, header::kEntryLength, 600); }},
      {"a maximum of 0 keys", [&](std::string& b) { PutLE16(b, header::kMaxKeys, 0); }},
      {"a maximum of keys beyond the node", [&](std::string& b) { PutLE16(b, header::kMaxKeys, 200); }},
      {"a header cut short", [&](std::string& b) { b.resize(100); }},
      {"a numeric key type over a character key expression",
       [&](std::string& b) {
         b[header::kKeyType] = 1;
         PutLE16(b, header::kKeyLength, 8);
         PutLE16(b, header::kEntryLength, 16);
         PutLE16(b, header::kMaxKeys, 31);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string damaged = bytes_;
    c.damage(damaged);
    std::string message = Use(damaged);
    EXPECT_NE(message.find("2112"), std::string::npos) << message;
    EXPECT_NE(message.find("NAME.NDX"), std::string::npos) << message;
  }
}

// A key expression that is no expression, or holds a literal that converts to
// nothing, is an engine error when the file is opened.
TEST_F(NdxDamageTest, AKeyExpressionThatDoesNotCompileIsAnEngineError) {
  for (std::string text : {"{AB}", "NAME+"}) {
    SCOPED_TRACE(text);
    std::string damaged = bytes_;
    damaged.replace(header::kExpression, text.size() + 1, text.c_str(), text.size() + 1);
    EXPECT_NE(Use(damaged), "");
  }
}

TEST_F(NdxDamageTest, RandomBytesInPagesNeverCrash) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::string damaged = bytes_;
    int changes = 1 + static_cast<int>(random() % 20);
    for (int i = 0; i < changes; ++i) {
      size_t at = kBlockSize + random() % (damaged.size() - kBlockSize);
      damaged[at] = static_cast<char>(random());
    }
    std::string message = Use(damaged);
    // A leaf may now point at a record the table lacks: that read names the table.
    if (!message.empty()) {
      EXPECT_TRUE(message.find("NAME.NDX") != std::string::npos || message.find("T.DBF") != std::string::npos)
          << message;
    }
  }
}

}  // namespace
}  // namespace velorin
