#include "platform/native_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/file_names.h"
#include "platform/os_error.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace velorin::platform {
namespace {

using testing::ChildProcess;
using testing::Signal;
using testing::TempDir;

class NativeFileTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFileBytes(path_, std::string(100, 'x')); }
  TempDir dir_;
  std::string path_ = dir_.File("t.dbf");
};

// A child opens the file in the given mode, reports readiness, holds it until told.
int HoldOpen(const std::string& path, bool shared, Signal& ready, Signal& done) {
  auto file = NativeFile::Open(path, true, shared);
  if (!file) return 1;
  ready.Notify();
  done.WaitFor();
  return 0;
}

TEST_F(NativeFileTest, UnsharedOpenExcludesEveryOtherProcess) {
  Signal ready, done;
  ChildProcess child([&] { return HoldOpen(path_, false, ready, done); });
  ASSERT_TRUE(ready.WaitFor());
  EXPECT_EQ(NativeFile::Open(path_, true, true), nullptr);
  EXPECT_EQ(LastError(), os_error::kSharingViolation);
  EXPECT_EQ(NativeFile::Open(path_, false, false), nullptr);
  EXPECT_EQ(LastError(), os_error::kSharingViolation);
  EXPECT_FALSE(NativeFile::CreateOrTruncate(path_));
  EXPECT_EQ(LastError(), os_error::kSharingViolation);
  done.Notify();
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_NE(NativeFile::Open(path_, true, false), nullptr);
}

TEST_F(NativeFileTest, UnsharedOpenFailsWhileAnotherProcessHasTheFileShared) {
  Signal ready, done;
  ChildProcess child([&] { return HoldOpen(path_, true, ready, done); });
  ASSERT_TRUE(ready.WaitFor());
  EXPECT_NE(NativeFile::Open(path_, true, true), nullptr);  // sharing with sharing is fine
  EXPECT_EQ(NativeFile::Open(path_, true, false), nullptr);
  EXPECT_EQ(LastError(), os_error::kSharingViolation);
  done.Notify();
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(NativeFileTest, UnsharedReadOnlyOpenOfAReadOnlyFileStillExcludes) {
  if (geteuid() == 0) GTEST_SKIP() << "root can write any file";
  chmod(path_.c_str(), 0444);
  auto file = NativeFile::Open(path_, false, false);
  ASSERT_NE(file, nullptr);
  ChildProcess child([&] { return NativeFile::Open(path_, false, true) == nullptr ? 0 : 1; });
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(NativeFileTest, ByteRangeLocksExcludeOtherProcessesAndOtherOpens) {
  auto file = NativeFile::Open(path_, true, true);
  ASSERT_TRUE(file->LockRegion(4026531838u, 2, this));  // above 2 GB, as the dBase IV memo lock
  ChildProcess child([&] {
    auto other = NativeFile::Open(path_, true, true);
    if (other->LockRegion(4026531839u, 1, nullptr)) return 1;
    if (LastError() != os_error::kLockViolation) return 2;
    if (!other->LockRegion(4026531840u, 1, nullptr)) return 3;
    return 0;
  });
  EXPECT_EQ(child.Wait(), 0);
  // A second open in this process is excluded as well.
  auto second = NativeFile::Open(path_, true, true);
  EXPECT_FALSE(second->LockRegion(4026531838u, 1, this));
  EXPECT_EQ(LastError(), os_error::kLockViolation);
}

TEST_F(NativeFileTest, OverlappingRegionOnOneHandleIsRefused) {
  auto file = NativeFile::Open(path_, true, true);
  int ownerA = 0, ownerB = 0;
  ASSERT_TRUE(file->LockRegion(100, 10, &ownerA));
  EXPECT_FALSE(file->LockRegion(105, 10, &ownerB));
  EXPECT_EQ(LastError(), os_error::kLockViolation);
  EXPECT_TRUE(file->LockRegion(110, 10, &ownerB));
}

TEST_F(NativeFileTest, UnlockingOneRegionKeepsTheNeighboursLocked) {
  // The kernel would merge adjacent ranges of one open file; the region table
  // makes sure that releasing one never releases the other.
  auto file = NativeFile::Open(path_, true, true);
  int ownerA = 0, ownerB = 0;
  ASSERT_TRUE(file->LockRegion(100, 10, &ownerA));
  ASSERT_TRUE(file->LockRegion(110, 10, &ownerB));
  ASSERT_TRUE(file->UnlockRegion(100, 10, &ownerA));
  ChildProcess child([&] {
    auto other = NativeFile::Open(path_, true, true);
    if (!other->LockRegion(100, 10, nullptr)) return 1;  // released
    if (other->LockRegion(110, 1, nullptr)) return 2;    // still held by B
    return 0;
  });
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_FALSE(file->UnlockRegion(110, 10, &ownerA));  // A never held it
  EXPECT_EQ(LastError(), os_error::kNotLocked);
}

TEST_F(NativeFileTest, ZeroLengthLockNeverReachesTheKernel) {
  auto file = NativeFile::Open(path_, true, true);
  ASSERT_TRUE(file->LockRegion(0, 0, this));
  ChildProcess child([&] {
    auto other = NativeFile::Open(path_, true, true);
    return other->LockRegion(0, 2147483647u, nullptr) ? 0 : 1;  // nothing is locked
  });
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_TRUE(file->UnlockRegion(0, 0, this));
}

TEST_F(NativeFileTest, ClosingAnotherDescriptorKeepsTheLocks) {
  auto file = NativeFile::Open(path_, true, true);
  ASSERT_TRUE(file->LockRegion(50, 1, this));
  NativeFile::Open(path_, false, true).reset();  // opened and closed again
  ChildProcess child([&] {
    auto other = NativeFile::Open(path_, true, true);
    return other->LockRegion(50, 1, nullptr) ? 1 : 0;
  });
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(NativeFileTest, TransfersAndErrors) {
  auto file = NativeFile::Open(path_, true, true);
  char buffer[200];
  EXPECT_EQ(file->ReadAt(90, buffer, 50), 10);
  EXPECT_EQ(file->ReadAt(500, buffer, 10), 0);
  EXPECT_TRUE(file->WriteAt(150, "abc", 3));
  EXPECT_EQ(file->Size(), 153);
  EXPECT_TRUE(file->SetEnd(20));
  EXPECT_EQ(file->Size(), 20);
  EXPECT_TRUE(file->Flush());

  auto readOnly = NativeFile::Open(path_, false, true);
  EXPECT_FALSE(readOnly->WriteAt(0, "a", 1));
  EXPECT_EQ(LastError(), os_error::kAccessDenied);
  EXPECT_FALSE(readOnly->SetEnd(0));
  EXPECT_EQ(LastError(), os_error::kAccessDenied);

  EXPECT_EQ(NativeFile::Open(dir_.File("missing.dbf"), true, true), nullptr);
  EXPECT_EQ(LastError(), os_error::kFileNotFound);
  EXPECT_EQ(NativeFile::Open(dir_.File("nodir/missing.dbf"), true, true), nullptr);
  EXPECT_EQ(LastError(), os_error::kPathNotFound);
  EXPECT_EQ(NativeFile::Open(dir_.Path().string(), false, true), nullptr);
  EXPECT_EQ(LastError(), os_error::kAccessDenied);
}

TEST(OsErrorTest, ErrnoValuesMapToWindowsNumbers) {
  EXPECT_EQ(ErrorFromErrno(ENOENT), 2u);
  EXPECT_EQ(ErrorFromErrno(ENAMETOOLONG), 3u);
  EXPECT_EQ(ErrorFromErrno(EMFILE), 4u);
  EXPECT_EQ(ErrorFromErrno(EROFS), 5u);
  EXPECT_EQ(ErrorFromErrno(EBADF), 6u);
  EXPECT_EQ(ErrorFromErrno(EXDEV), 17u);
  EXPECT_EQ(ErrorFromErrno(ETXTBSY), 32u);
  EXPECT_EQ(ErrorFromErrno(EINVAL), 87u);
  EXPECT_EQ(ErrorFromErrno(EIO, IoDirection::kRead), 100u);
  EXPECT_EQ(ErrorFromErrno(EIO, IoDirection::kWrite), 101u);
  EXPECT_EQ(ErrorFromErrno(EDQUOT), 112u);
  EXPECT_EQ(ErrorFromErrno(EEXIST), 183u);
  EXPECT_EQ(ErrorFromErrno(EFBIG), 223u);
  EXPECT_EQ(ErrorFromErrno(ECONNRESET), 31u);
}

TEST(OsErrorTest, LastErrorIsPerThread) {
  SetLastError(5);
  std::thread([] { SetLastError(33); }).join();
  EXPECT_EQ(LastError(), 5u);
}

}  // namespace
}  // namespace velorin::platform
