#include "engine/vr6_DBF.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

#include "engine/dbf_format.h"
#include "engine/vr6_eror.h"
#include "platform/clock.h"
#include "support/child_process.h"
#include "support/table_fixture.h"
#include "support/raised_message.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::ChildProcess;
using testing::MakeTable;
using testing::ReadFileBytes;
using testing::Signal;
using testing::TempDir;

using testing::RaisedMessage;

std::string Record(const std::string& name) {  // a record of the NAME:C:6 table
  std::string r = " " + name;
  r.resize(7, ' ');
  return r;
}

std::string CurrentText(const VRO_dBaseDBF& table) {
  return std::string(reinterpret_cast<const char*>(table.CurrentRecord()), static_cast<size_t>(table.RecordLength()));
}

class DbfTableTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.File("T.DBF");
};

TEST_F(DbfTableTest, OpensAndReadsTheHeaderAndFields) {
  MakeTable(path_, 0x83, {"NAME:C:15", "PRICE:N:8:2", "WHEN:D", "OK:L", "NOTE:M"});
  VRO_dBaseDBF table("t", true, true);  // ".DBF" added, letter case resolved
  EXPECT_EQ(table.FileName(), path_);
  EXPECT_EQ(table.Version(), 0x83);
  EXPECT_EQ(table.FieldCount(), 5);
  EXPECT_EQ(table.HeaderLength(), 32 + 5 * 32 + 1);
  EXPECT_EQ(table.RecordLength(), 1 + 15 + 8 + 8 + 1 + 10);
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_EQ(table.Field(2)->Name(), "PRICE");
  EXPECT_EQ(table.Field(2)->Displacement, 16);
  EXPECT_EQ(table.Field(2)->Decimals(), 2);
  EXPECT_EQ(table.Field(5)->Type(), 'M');
  EXPECT_EQ(table.Field(6), nullptr);
  EXPECT_TRUE(table.AtBOF());
  EXPECT_TRUE(table.UseDeleted());
  EXPECT_EQ(table.RecordNumber(), 0);
}

TEST_F(DbfTableTest, RecordCountComesFromTheFileSizeNotTheHeader) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A"), Record("B"), Record("C")});
  testing::PatchFile(path_, 4, std::string("\x64\0\0\0", 4));  // the header claims 100
  std::string bytes = ReadFileBytes(path_);
  testing::WriteFileBytes(path_, bytes + "xyz");  // and a partial tail
  VRO_dBaseDBF table(path_, false, true);
  EXPECT_EQ(table.RecordCount(), 3);
}

TEST_F(DbfTableTest, NavigationByNumberAndCode) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A"), Record("B"), Record("C")});
  VRO_dBaseDBF table(path_, false, true);
  table.GoRecord(nav::kReread);  // nothing read yet: before the first record
  EXPECT_TRUE(table.AtBOF());
  EXPECT_EQ(table.RecordNumber(), 0);
  table.GoRecord(nav::kPrevious);
  EXPECT_TRUE(table.AtBOF());
  table.GoRecord(nav::kFirst);
  EXPECT_EQ(CurrentText(table), Record("A"));
  table.GoRecord(nav::kNext);
  EXPECT_EQ(table.RecordNumber(), 2);
  EXPECT_EQ(CurrentText(table), Record("B"));
  table.GoRecord(nav::kLast);
  EXPECT_EQ(table.RecordNumber(), 3);
  table.GoRecord(nav::kNext);
  EXPECT_TRUE(table.AtEOF());
  EXPECT_EQ(table.RecordNumber(), 3);
  table.GoRecord(1);
  table.GoRecord(nav::kPrevious);
  EXPECT_TRUE(table.AtBOF());
  EXPECT_EQ(table.RecordNumber(), 1);
  table.GoRecord(4);  // one past the last
  EXPECT_TRUE(table.AtEOF());
  EXPECT_EQ(RaisedMessage([&] { table.GoRecord(5); }), "dBase record request beyond EOF - " + path_);
  EXPECT_EQ(RaisedMessage([&] { table.GoRecord(-6); }), "dBase record request beyond EOF - " + path_);
  EXPECT_EQ(std::memcmp(table.OriginalRecord(), table.CurrentRecord(), 7), 0);
}

TEST_F(DbfTableTest, EmptyTableIsAtBothEnds) {
  MakeTable(path_, 0x03, {"NAME:C:6"});
  VRO_dBaseDBF table(path_, false, true);
  table.GoRecord(nav::kFirst);
  EXPECT_TRUE(table.AtEOF());
  EXPECT_TRUE(table.AtBOF());
}

TEST_F(DbfTableTest, CharacterFieldLengthUsesTheDecimalByteAsHighByte) {
  MakeTable(path_, 0x03, {"LONG:C:260", "N:N:4:1"});
  VRO_dBaseDBF table(path_, false, true);
  EXPECT_EQ(table.Field(1)->Length(), 260);
  EXPECT_EQ(table.Field(1)->Decimals(), 0);
  EXPECT_EQ(table.Field(2)->Length(), 4);
  EXPECT_EQ(table.RecordLength(), 265);
}

TEST_F(DbfTableTest, VisualFoxProHeaderHoldsTheBackLink) {
  MakeTable(path_, 0x30, {"A:C:3", "B:I", "C:C:2"});
  VRO_dBaseDBF table(path_, false, true);
  EXPECT_EQ(table.HeaderLength(), 296 + 3 * 32);
  EXPECT_EQ(table.FieldCount(), 3);
}

TEST_F(DbfTableTest, FieldTableEndsAtTheTerminator) {
  MakeTable(path_, 0x03, {"A:C:3", "B:C:2"});
  // Terminate after the first descriptor; the rest of the area is ignored.
  testing::PatchFile(path_, 32 + 32, "\x0D");
  VRO_dBaseDBF table(path_, false, true);
  EXPECT_EQ(table.FieldCount(), 1);
}

TEST_F(DbfTableTest, AppendWritesTheRecordTheEndMarkAndTheHeader) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A")});
  testing::PatchFile(path_, 28, "\x87");  // flag bits beyond the known three
  {
    VRO_dBaseDBF table(path_, true, true);
    table.SetUserID(77);
    std::memcpy(table.CurrentRecord(), "*NEWREC", 7);  // the flag is made blank
    table.Append();
    EXPECT_EQ(table.RecordNumber(), 2);
    EXPECT_EQ(table.RecordCount(), 2);
    EXPECT_FALSE(table.AtEOF());
  }
  std::string bytes = ReadFileBytes(path_);
  size_t header = 32 + 32 + 1;
  EXPECT_EQ(bytes.size(), header + 14 + 1);
  EXPECT_EQ(bytes.substr(header + 7, 7), " NEWREC");
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(testing::LE32At(bytes, 4), 2u);
  EXPECT_EQ(static_cast<uint8_t>(bytes[28]), 0x07);
  EXPECT_EQ(testing::LE32At(bytes, 20), 77u);
  platform::LocalDateTime now = platform::LocalNow();
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]), now.year % 100);
  EXPECT_EQ(static_cast<uint8_t>(bytes[2]), now.month);
  EXPECT_EQ(static_cast<uint8_t>(bytes[3]), now.day);
}

TEST_F(DbfTableTest, WriteRecordInPlaceAndBeyondTheEndAppends) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A"), Record("B")});
  VRO_dBaseDBF table(path_, true, false);
  table.GoRecord(1);
  std::memcpy(table.CurrentRecord(), " AAAAAA", 7);
  table.WriteRecord(1);
  std::memcpy(table.CurrentRecord(), " CCCCCC", 7);
  table.WriteRecord(0);  // not a record: appended
  EXPECT_EQ(table.RecordCount(), 3);
  std::string bytes = ReadFileBytes(path_);
  EXPECT_EQ(bytes.substr(65, 21), " AAAAAA" + Record("B") + " CCCCCC");
}

TEST_F(DbfTableTest, DestructionWritesADirtyHeader) {
  MakeTable(path_, 0x03, {"NAME:C:6"});
  {
    VRO_dBaseDBF table(path_, true, false);
    ASSERT_TRUE(table.LockTable());
    std::memcpy(table.CurrentRecord(), " X", 2);
    table.Append();
    table.Append();
    EXPECT_TRUE(table.TableLocked());  // the appends took one nesting level each
    EXPECT_EQ(testing::LE32At(ReadFileBytes(path_), 4), 0u);  // deferred
  }
  EXPECT_EQ(testing::LE32At(ReadFileBytes(path_), 4), 2u);
}

TEST_F(DbfTableTest, NestedLocksUnderTheTableLockNeedAsManyUnlocks) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A")});
  VRO_dBaseDBF table(path_, true, true);
  table.GoRecord(1);
  ASSERT_TRUE(table.LockTable());
  ASSERT_TRUE(table.LockRecord());
  ASSERT_TRUE(table.LockHeader());
  table.UnlockHeader();
  EXPECT_TRUE(table.UnlockTable());
  EXPECT_TRUE(table.TableLocked());  // the record level is still held
  EXPECT_TRUE(table.UnlockTable());
  EXPECT_FALSE(table.TableLocked());
  EXPECT_EQ(table.LockCount(), 0);
}

// Damaged and foreign files: an engine error with its message, never a crash.
struct DamagedCase {
  const char* name;
  std::function<void(const std::string&)> damage;
};

class DamagedTableTest : public DbfTableTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedTableTest, RaisesHeaderInvalid) {
  MakeTable(path_, 0x03, {"NAME:C:6", "N:N:5"}, {Record("A") + "    1"});
  GetParam().damage(path_);
  EXPECT_EQ(RaisedMessage([&] { VRO_dBaseDBF table(path_, false, true); }),
            "dBase DBF file header invalid - " + path_);
}

void SetLE16(const std::string& path, size_t offset, uint16_t v) {
  testing::PatchFile(path, offset, std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)});
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedTableTest,
    ::testing::Values(
        DamagedCase{"Empty", [](const std::string& p) { testing::WriteFileBytes(p, ""); }},
        DamagedCase{"ShorterThanAHeader", [](const std::string& p) { testing::WriteFileBytes(p, ReadFileBytes(p).substr(0, 20)); }},
        DamagedCase{"UnknownVersion", [](const std::string& p) { testing::PatchFile(p, 0, "\x04"); }},
        DamagedCase{"HeaderLengthBeyondTheFile", [](const std::string& p) { SetLE16(p, 8, 60000); }},
        DamagedCase{"HeaderLengthTooSmall", [](const std::string& p) { SetLE16(p, 8, 32); }},
        DamagedCase{"RecordLengthZero", [](const std::string& p) { SetLE16(p, 10, 0); }},
        DamagedCase{"FieldBeyondTheRecord", [](const std::string& p) { SetLE16(p, 10, 8); }},
        DamagedCase{"DescriptorAreaCutShort",
                    [](const std::string& p) { testing::WriteFileBytes(p, ReadFileBytes(p).substr(0, 50)); }},
        DamagedCase{"VisualFoxProWithoutBackLink", [](const std::string& p) { testing::PatchFile(p, 0, "\x30"); }},
        DamagedCase{"ZeroLengthRecordsOfAFieldlessTable",
                    [](const std::string& p) { SetLE16(p, 8, 33); SetLE16(p, 10, 0); }}),
    [](const ::testing::TestParamInfo<DamagedCase>& info) { return info.param.name; });

TEST_F(DbfTableTest, MissingTableIsFileNotFound) {
  EXPECT_EQ(RaisedMessage([&] { VRO_dBaseDBF table(dir_.File("none"), false, true); }),
            "File not found - " + dir_.File("none.DBF"));
}

// ---- several processes -----------------------------------------------------------

TEST_F(DbfTableTest, ConcurrentAppendersLoseAndOverwriteNothing) {
  MakeTable(path_, 0x03, {"WHO:C:2", "SEQ:C:4"});
  constexpr int kProcesses = 4;
  constexpr int kEach = 150;
  Signal go;
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(std::make_unique<ChildProcess>([&, p] {
      VRO_dBaseDBF table(path_, true, true);
      go.WaitFor();
      for (int i = 0; i < kEach; ++i) {
        char record[8];
        std::snprintf(record, sizeof record, " %02d%04d", p, i);
        std::memcpy(table.CurrentRecord(), record, 7);
        table.Append();
      }
      return 0;
    }));
  }
  for (int p = 0; p < kProcesses; ++p) go.Notify();
  for (auto& child : children) EXPECT_EQ(child->Wait(), 0);

  std::string bytes = ReadFileBytes(path_);
  size_t header = 32 + 2 * 32 + 1;
  ASSERT_EQ(bytes.size(), header + kProcesses * kEach * 7 + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(testing::LE32At(bytes, 4), static_cast<uint32_t>(kProcesses * kEach));
  std::set<std::string> seen;
  for (size_t offset = header; offset + 7 < bytes.size(); offset += 7) seen.insert(bytes.substr(offset, 7));
  EXPECT_EQ(seen.size(), static_cast<size_t>(kProcesses * kEach));
}

// Another process that holds the table's header lock until done is signalled.
std::unique_ptr<ChildProcess> HoldHeaderLockInChild(const std::string& path, Signal& done) {
  Signal ready;
  auto child = std::make_unique<ChildProcess>([&] {
    VRO_dBaseDBF table(path, true, true);
    if (!table.LockHeader()) return 1;
    ready.Notify();
    done.WaitFor(20000);
    table.UnlockHeader();
    return 0;
  });
  EXPECT_TRUE(ready.WaitFor());
  return child;
}

TEST_F(DbfTableTest, AppendRefusedWhileAnotherProcessHoldsTheHeaderLock) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A")});
  Signal done;
  auto holder = HoldHeaderLockInChild(path_, done);
  VRO_dBaseDBF table(path_, true, true);
  EXPECT_EQ(RaisedMessage([&] { table.Append(); }), "Record locked by another user - " + path_);
  done.Notify();
  EXPECT_EQ(holder->Wait(), 0);
  EXPECT_EQ(table.RecordCount(), 1);
  EXPECT_EQ(ReadFileBytes(path_).size(), 32 + 32 + 1 + 7 + 1u);
  EXPECT_EQ(table.LockCount(), 0);
}

TEST_F(DbfTableTest, RecordWriteSkipsTheHeaderRatherThanWriteAStaleCount) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A")}, true);
  Signal done;
  auto appender = HoldHeaderLockInChild(path_, done);
  std::string before = ReadFileBytes(path_).substr(0, 32);
  {
    VRO_dBaseDBF table(path_, true, true);
    table.GoRecord(1);
    table.CurrentRecord()[1] = 'Z';
    table.WriteRecord(1);
    EXPECT_TRUE(table.HeaderDirty());
    EXPECT_EQ(ReadFileBytes(path_).substr(0, 32), before);
    EXPECT_EQ(ReadFileBytes(path_)[33 + 32 + 1], 'Z');
    done.Notify();
    EXPECT_EQ(appender->Wait(), 0);
  }  // the pending header is written now
  EXPECT_NE(ReadFileBytes(path_).substr(0, 32), before);
}

// Which byte a record lock of each protocol takes: another process is refused
// that record but not another one.
class RecordLockTest : public DbfTableTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(RecordLockTest, LockedRecordIsRefusedToAnotherProcess) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A"), Record("B"), Record("C")});
  uint8_t protocol = GetParam();
  Signal ready, done;
  ChildProcess holder([&] {
    VRO_dBaseDBF table(path_, true, true);
    table.SetLockProtocol(protocol);
    table.GoRecord(2);
    if (!table.LockRecord() || !table.LockRecord()) return 1;
    if (table.LockCount() != 2) return 2;
    ready.Notify();
    done.WaitFor(20000);
    return 0;
  });
  ASSERT_TRUE(ready.WaitFor());
  VRO_dBaseDBF table(path_, true, true);
  table.SetLockProtocol(protocol);
  table.GoRecord(2);
  EXPECT_FALSE(table.LockRecord());
  EXPECT_EQ(table.Status(), 33);
  table.GoRecord(3);
  EXPECT_TRUE(table.LockRecord());
  EXPECT_TRUE(table.Unlock());
  done.Notify();
  EXPECT_EQ(holder.Wait(), 0);
  table.GoRecord(2);
  EXPECT_TRUE(table.LockRecord());
}

INSTANTIATE_TEST_SUITE_P(Protocols, RecordLockTest, ::testing::Values(0, 1, 2, 3));

TEST_F(DbfTableTest, NestedRecordLocksNeedAsManyUnlocks) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A"), Record("B")});
  VRO_dBaseDBF table(path_, true, true);
  table.GoRecord(1);
  ASSERT_TRUE(table.LockRecord());
  ASSERT_TRUE(table.LockRecord());
  table.Unlock();
  auto probe = [&] {
    ChildProcess child([&] {
      VRO_dBaseDBF other(path_, true, true);
      other.GoRecord(1);
      return other.LockRecord() ? 0 : 1;
    });
    return child.Wait() == 0;
  };
  EXPECT_FALSE(probe());
  table.Unlock();
  EXPECT_TRUE(probe());
}

TEST_F(DbfTableTest, LockRegionsFollowTheProtocol) {
  MakeTable(path_, 0x03, {"NAME:C:6"}, {Record("A"), Record("B")});
  VRO_dBaseDBF table(path_, true, true);
  table.GoRecord(2);
  struct Expect {
    uint8_t protocol;
    uint32_t offset;
  };
  uint32_t recordOffset = 32 + 32 + 1 + 7;
  for (Expect e : {Expect{0, 1073741824u + recordOffset}, Expect{1, 4026531839u - 2 - 1},
                   Expect{2, 1000000000u + 2}, Expect{3, 1073741824u + recordOffset}}) {
    table.SetLockProtocol(e.protocol);
    ASSERT_TRUE(table.LockRecord());
    EXPECT_EQ(table.LockOffset(), e.offset) << int(e.protocol);
    EXPECT_EQ(table.LockLength(), 1u);
    table.Unlock();
  }
  table.SetLockProtocol(2);
  table.SetLockProtocol(9);  // unknown: keeps the constants, locks nothing
  EXPECT_EQ(table.HeaderLockOffset(), 1000000000u);
  EXPECT_FALSE(table.LockRecord());
}

}  // namespace
}  // namespace velorin
