// vr6_disk.h — disk files: every file the engine touches is a VRO_DiskFile.
//
// A VRO_DiskFile is opened read-only or read-write, shared or exclusive, and
// moves bytes with positioned reads and writes. It holds at most one byte-range
// lock, with a nesting count. One physical file is opened once per process:
// objects naming the same file (in any spelling) find each other through the
// registry OpenFiles() and share one reference-counted handle and guard; the
// last of them to close closes the file.
//
// Every operation but the three lock operations reports a failure through
// Error (code = Status, sub-code = the operation, text = FileName), which with
// the default error procedure raises EVelorinError and does not return. The lock
// operations return false and leave Status (33 for a conflicting region).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/vr6_eror.h"

namespace velorin {

namespace platform {
class NativeFile;
}

// A file handle with its guard, shared by all objects open on one physical file.
struct SharedFileHandle;

class VRO_DiskFile {
 public:
  // The whole-file lock region (LockFile) and the length that means "whole file".
  static constexpr uint32_t kWholeFileLength = 2147483647u;

  // Normalises the name (full path, letter case resolved against the directory),
  // records whether the file exists; does not open it.
  VRO_DiskFile(const std::string& fileName, bool readWrite, bool shared);
  virtual ~VRO_DiskFile();
  VRO_DiskFile(const VRO_DiskFile&) = delete;
  VRO_DiskFile& operator=(const VRO_DiskFile&) = delete;

  // The operations, in their slot order.
  // Releases this object's lock and detaches it from the shared handle; the file
  // is closed when no other object has it. Always true.
  virtual bool Close();
  // Passes (code, sub-code, text) to the process-wide error procedure.
  virtual void Error(int32_t code, int32_t subCode, std::string_view text);
  // File size; -1 on failure. Files above 2,147,483,647 bytes fail with 223.
  virtual int32_t Size();
  virtual void Flush();
  // LockRegion(0, 2,147,483,647) when shared; true otherwise.
  virtual bool LockFile();
  // Exclusive, non-waiting; nests when the same region is asked again.
  virtual bool LockRegion(uint32_t offset, uint32_t length);
  // Reads count bytes at offset; returns the bytes read. A short read is not an
  // error: the rest of the buffer is zero-filled and Status becomes 221.
  virtual int32_t ReadAt(int32_t offset, void* buffer, int32_t count);
  // Closes, renames, reopens under the new name (or the old one when the rename
  // failed, which is then reported with sub-code 1106). Result: renamed.
  virtual bool Rename(const std::string& newName);
  virtual void Open();
  // Creates or truncates the file and opens it; 12 when it is open in this process.
  virtual void CreateEmpty();
  // Progress of a long operation; nothing here.
  virtual void StatusUpdate(int32_t stat1, int32_t stat2, int32_t stat3);
  // Needs read-write and whole-file access (exclusive, or the whole-file lock).
  virtual void Truncate(int32_t newSize);
  // Undoes one LockRegion; the last releases the operating-system lock.
  virtual bool Unlock();
  virtual void WriteAt(int32_t offset, const void* buffer, int32_t count);

  int32_t Status() const { return status_; }
  bool Existed() const { return existed_; }
  const std::string& FileName() const { return fileName_; }
  int32_t Position() const { return position_; }
  bool Shared() const { return shared_; }
  bool ReadWrite() const { return readWrite_; }
  int32_t BytesDone() const { return bytesDone_; }
  int32_t LockCount() const { return lockCount_; }
  uint32_t LockOffset() const { return lockOffset_; }
  uint32_t LockLength() const { return lockLength_; }
  bool Dirty() const { return dirty_; }
  bool Closed() const { return closed_; }
  // Whether this object and other use one operating-system handle.
  bool SharesHandleWith(const VRO_DiskFile& other) const;

  // Releases the operating-system lock whatever the nesting (engine end).
  void ReleaseLockForShutdown();

 protected:
  // When Status is not 0: the platform's last error := Status, then Error.
  void ReportStatus(int32_t subCode);
  // Exclusive, or the whole-file lock held.
  bool HasWholeFileAccess() const;
  void SetStatus(int32_t status) { status_ = status; }
  // A second operating-system lock of this object, outside the nested region of
  // LockRegion (used for the table header lock). Shared files only; Status 33 on
  // a conflict.
  bool LockExtraRegion(uint32_t offset, uint32_t length) { return ExtraRegion(offset, length, true); }
  bool UnlockExtraRegion(uint32_t offset, uint32_t length) { return ExtraRegion(offset, length, false); }

  // The sub-code with which ReadAt reports a failure: kReadAt unless a caller
  // that reads on behalf of a larger operation names its own for the scope.
  class ReadSubCodeScope {
   public:
    ReadSubCodeScope(VRO_DiskFile* file, int32_t subCode) : file_(file), saved_(file->readSubCode_) {
      file->readSubCode_ = subCode;
    }
    ~ReadSubCodeScope() { file_->readSubCode_ = saved_; }
    ReadSubCodeScope(const ReadSubCodeScope&) = delete;
    ReadSubCodeScope& operator=(const ReadSubCodeScope&) = delete;

   private:
    VRO_DiskFile* file_;
    int32_t saved_;
  };

  int32_t status_ = 0;
  bool existed_ = false;
  std::string fileName_;
  int32_t position_ = 0;
  bool shared_;
  bool readWrite_;
  int32_t bytesDone_ = 0;
  int32_t lockCount_ = 0;
  uint32_t lockOffset_ = 0;
  uint32_t lockLength_ = 0;
  bool dirty_ = false;
  bool closed_ = true;
  int32_t readSubCode_ = sub_code::kReadAt;

 private:
  friend class VRobjFileColl;
  void FlushHandle();
  bool ExtraRegion(uint32_t offset, uint32_t length, bool lock);
  std::shared_ptr<SharedFileHandle> handle_;
};

// The registry of open files. It refers to the objects without owning them;
// every operation holds the registry's own lock.
class VRobjFileColl {
 public:
  VRobjFileColl() = default;
  // Engine end: releases every lock still held through a registered object.
  ~VRobjFileColl();
  VRobjFileColl(const VRobjFileColl&) = delete;
  VRobjFileColl& operator=(const VRobjFileColl&) = delete;

  void Add(VRO_DiskFile* file);
  void Remove(VRO_DiskFile* file);
  int32_t IndexOf(const VRO_DiskFile* file) const;
  int32_t Count() const;
  // The first registered object whose FileName equals name byte for byte.
  VRO_DiskFile* FindByName(const std::string& name) const;
  // The first registered object open on the physical file that path names.
  VRO_DiskFile* FindSameFile(const std::string& path, const VRO_DiskFile* except = nullptr) const;
  // Whether an object other than file shares file's handle.
  bool HandleHasOtherUsers(const VRO_DiskFile* file) const;

  std::recursive_mutex& Mutex() const { return mutex_; }

 private:
  mutable std::recursive_mutex mutex_;
  std::vector<VRO_DiskFile*> files_;
};

// The one registry of the process.
VRobjFileColl& OpenFiles();

}  // namespace velorin
