#include "engine/vr6_disk.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "engine/vr6_eror.h"
#include "support/child_process.h"
#include "support/raised_message.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::ChildProcess;
using testing::Signal;
using testing::TempDir;

using testing::RaisedMessage;

class DiskFileTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFileBytes(path_, "0123456789"); }
  TempDir dir_;
  std::string path_ = dir_.File("DATA.DBF");
};

TEST_F(DiskFileTest, ConstructionNormalisesAndDoesNotOpen) {
  VRO_DiskFile file("data.dbf", true, true);
  EXPECT_EQ(file.FileName(), path_);  // relative, other letter case
  EXPECT_TRUE(file.Existed());
  EXPECT_TRUE(file.Closed());
  EXPECT_EQ(OpenFiles().IndexOf(&file), -1);
}

TEST_F(DiskFileTest, ShortReadReturnsWhatExistsZeroFillsAndSetsStatus221) {
  VRO_DiskFile file(path_, false, true);
  file.Open();
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(file.ReadAt(6, buffer, 8), 4);
  EXPECT_EQ(file.Status(), 221);
  EXPECT_EQ(std::string(buffer, 8), std::string("6789") + std::string(4, '\0'));
  EXPECT_EQ(file.ReadAt(2, buffer, 3), 3);
  EXPECT_EQ(file.Status(), 0);
  EXPECT_EQ(file.Position(), 5);
}

TEST_F(DiskFileTest, WritesMarkDirtyAndFlushClearsIt) {
  VRO_DiskFile file(path_, true, true);
  file.Open();
  file.WriteAt(10, "ab", 2);
  EXPECT_TRUE(file.Dirty());
  EXPECT_EQ(file.Size(), 12);
  file.Flush();
  EXPECT_FALSE(file.Dirty());
  EXPECT_EQ(testing::ReadFileBytes(path_), "0123456789ab");
}

TEST_F(DiskFileTest, WriteThroughAReadOnlyObjectIsAccessDenied) {
  VRO_DiskFile file(path_, false, true);
  file.Open();
  EXPECT_EQ(RaisedMessage([&] { file.WriteAt(0, "x", 1); }), "File access denied - " + path_);
}

TEST_F(DiskFileTest, MissingFileReportsCode2WithTheName) {
  VRO_DiskFile file(dir_.File("none.dbf"), true, true);
  EXPECT_EQ(RaisedMessage([&] { file.Open(); }), "File not found - " + dir_.File("none.dbf"));
  EXPECT_TRUE(file.Closed());
}

TEST_F(DiskFileTest, LockNestingAndConflictsWithinOneObject) {
  VRO_DiskFile file(path_, true, true);
  file.Open();
  EXPECT_TRUE(file.LockRegion(1000, 10));
  EXPECT_TRUE(file.LockRegion(1000, 10));
  EXPECT_EQ(file.LockCount(), 2);
  EXPECT_FALSE(file.LockRegion(2000, 1));
  EXPECT_EQ(file.Status(), 33);
  EXPECT_EQ(file.LockOffset(), 1000u);
  EXPECT_TRUE(file.Unlock());
  EXPECT_EQ(file.LockCount(), 1);
  ChildProcess stillHeld([&] {
    VRO_DiskFile other(path_, true, true);
    other.Open();
    return other.LockRegion(1005, 1) ? 1 : 0;
  });
  EXPECT_EQ(stillHeld.Wait(), 0);
  EXPECT_TRUE(file.Unlock());
  ChildProcess released([&] {
    VRO_DiskFile other(path_, true, true);
    other.Open();
    return other.LockRegion(1005, 1) ? 0 : 1;
  });
  EXPECT_EQ(released.Wait(), 0);
  EXPECT_TRUE(file.Unlock());  // nothing held: does nothing
  EXPECT_EQ(file.LockCount(), 0);
}

TEST_F(DiskFileTest, ExclusiveObjectsLockWithoutTheSystem) {
  VRO_DiskFile file(path_, true, false);
  file.Open();
  EXPECT_TRUE(file.LockRegion(5, 1));
  EXPECT_TRUE(file.LockRegion(6, 1));  // no conflict without sharing
  EXPECT_TRUE(file.LockFile());
  EXPECT_EQ(file.LockCount(), 2);
}

TEST_F(DiskFileTest, UnsharedOpenInAnotherProcessRefusesWithCode32) {
  Signal ready, done;
  ChildProcess child([&] {
    VRO_DiskFile holder(path_, true, false);
    holder.Open();
    ready.Notify();
    done.WaitFor();
    return 0;
  });
  ASSERT_TRUE(ready.WaitFor());
  VRO_DiskFile file(path_, true, true);
  EXPECT_EQ(RaisedMessage([&] { file.Open(); }), "File access denied - " + path_);
  done.Notify();
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(DiskFileTest, OneHandlePerPhysicalFileHoweverNamed) {
  std::string cwd = std::filesystem::current_path().string();
  std::filesystem::create_directory("sub");
  VRO_DiskFile first(path_, true, true);
  VRO_DiskFile second("data.dbf", true, true);
  VRO_DiskFile third("sub/../Data.Dbf", false, true);
  first.Open();
  second.Open();
  third.Open();
  EXPECT_TRUE(first.SharesHandleWith(second));
  EXPECT_TRUE(first.SharesHandleWith(third));
  EXPECT_EQ(OpenFiles().FindByName(path_), &first);
  first.Close();
  EXPECT_TRUE(first.Closed());
  EXPECT_EQ(OpenFiles().IndexOf(&first), -1);
  char buffer[3];
  EXPECT_EQ(second.ReadAt(0, buffer, 3), 3);  // still usable through the others
  EXPECT_EQ(std::string(buffer, 3), "012");
  second.Close();
  EXPECT_EQ(third.ReadAt(7, buffer, 3), 3);
}

TEST_F(DiskFileTest, ClosingOneSharerKeepsTheOthersLock) {
  VRO_DiskFile first(path_, true, true);
  VRO_DiskFile second(path_, true, true);
  first.Open();
  second.Open();
  ASSERT_TRUE(first.LockRegion(100, 1));
  ASSERT_TRUE(second.LockRegion(101, 1));
  first.Close();
  ChildProcess child([&] {
    VRO_DiskFile other(path_, true, true);
    other.Open();
    if (!other.LockRegion(100, 1)) return 1;  // first's lock went with it
    other.Unlock();
    if (other.LockRegion(101, 1)) return 2;  // second's is still held
    return 0;
  });
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(DiskFileTest, CreateEmptyOfAnOpenFileIsCode12) {
  VRO_DiskFile open(path_, true, true);
  open.Open();
  VRO_DiskFile creator("data.dbf", true, true);
  EXPECT_EQ(RaisedMessage([&] { creator.CreateEmpty(); }), "Invalid file access code - " + path_);
  EXPECT_EQ(testing::ReadFileBytes(path_), "0123456789");
  open.Close();
  creator.CreateEmpty();
  EXPECT_FALSE(creator.Closed());
  EXPECT_EQ(creator.Size(), 0);
  VRO_DiskFile fresh(dir_.File("New.dbf"), true, false);
  fresh.CreateEmpty();
  EXPECT_TRUE(std::filesystem::exists(dir_.File("New.dbf")));  // the caller's spelling
}

TEST_F(DiskFileTest, TruncateNeedsWholeFileAccess) {
  VRO_DiskFile file(path_, true, true);
  file.Open();
  EXPECT_EQ(RaisedMessage([&] { file.Truncate(4); }), "File access denied - " + path_);
  ASSERT_TRUE(file.LockFile());
  file.Truncate(4);
  EXPECT_EQ(file.Size(), 4);
  file.Unlock();
  VRO_DiskFile exclusive(dir_.File("x.dbf"), true, false);
  exclusive.CreateEmpty();
  exclusive.WriteAt(0, "abcdef", 6);
  exclusive.Truncate(2);
  EXPECT_EQ(exclusive.Size(), 2);
}

TEST_F(DiskFileTest, RenameMovesTheFileAndReopensIt) {
  VRO_DiskFile file(path_, true, true);
  file.Open();
  EXPECT_TRUE(file.Rename("moved.dbf"));
  EXPECT_EQ(file.FileName(), dir_.File("moved.dbf"));
  EXPECT_FALSE(file.Closed());
  EXPECT_FALSE(std::filesystem::exists(path_));
  char buffer[2];
  EXPECT_EQ(file.ReadAt(0, buffer, 2), 2);
}

TEST_F(DiskFileTest, FailedRenameIsReportedAfterReopening) {
  testing::WriteFileBytes(dir_.File("taken.dbf"), "x");
  VRO_DiskFile file(path_, true, true);
  file.Open();
  EXPECT_EQ(RaisedMessage([&] { file.Rename("taken.dbf"); }), "File already exists - " + path_);
  EXPECT_FALSE(file.Closed());  // reopened under the old name
  EXPECT_EQ(file.FileName(), path_);
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("taken.dbf")), "x");
}

TEST_F(DiskFileTest, FilesOver2GBAreCode223) {
  std::string big = dir_.File("big.dbf");
  testing::WriteFileBytes(big, "x");
  ASSERT_EQ(truncate(big.c_str(), 3000000000LL), 0);  // sparse
  VRO_DiskFile file(big, false, true);
  file.Open();
  EXPECT_EQ(RaisedMessage([&] { file.Size(); }), "Velorin Error 223, SubCode 1105.\r " + big);
}

TEST_F(DiskFileTest, AReplacedErrorProcedureSeesTheFailureAndTheResult) {
  static int32_t seenCode, seenSub;
  EngineErrorProcedure saved = EngineErrorProc;
  EngineErrorProc = [](int32_t code, int32_t sub, std::string_view) {
    seenCode = code;
    seenSub = sub;
  };
  VRO_DiskFile file(path_, true, true);
  char buffer[4];
  EXPECT_EQ(file.ReadAt(0, buffer, 4), -1);  // not open
  EngineErrorProc = saved;
  EXPECT_EQ(seenCode, 6);
  EXPECT_EQ(seenSub, 1101);
}

}  // namespace
}  // namespace velorin
