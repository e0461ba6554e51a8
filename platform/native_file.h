// native_file.h — one open file with the observable behaviour of a Windows handle.
//
// Share modes. A shared open lets other opens read and write; an unshared open is
// exclusive between processes: while one process holds a file unshared, every
// other open of it fails with 32 (sharing violation), and an unshared open fails
// with 32 while any other open exists. This is done with an open-file-description
// lock on one reserved byte (kShareByte, far beyond every lock region the table
// formats use): shared opens hold a read lock there, unshared opens a write lock.
// Such locks work on local and network file systems alike; flock() is not used,
// because on NFS it is emulated with whole-file byte-range locks.
//
// Byte-range locks are exclusive and never wait, with unsigned 32-bit offsets and
// lengths, as Windows' LockFile. They are open-file-description locks, so they
// exclude other processes and other opens of the file in this process, and no
// close() of another descriptor drops them. A region that overlaps one already
// held through this handle is refused (33) as Windows refuses it; each held region
// is remembered with its owner, so unlocking one releases exactly its own bytes.
//
// Every failure returns false (or -1 / nullptr) and sets the thread's last error
// to a Windows number (os_error.h).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_names.h"

namespace velorin::platform {

class NativeFile {
 public:
  // The byte whose lock carries the share mode: 2^40, beyond every 32-bit region.
  static constexpr int64_t kShareByte = int64_t{1} << 40;

  // Opens an existing file. Read-only handles refuse writes with 5 even when the
  // descriptor underneath could write. nullptr with the last error set on failure.
  static std::unique_ptr<NativeFile> Open(const std::string& path, bool readWrite, bool shared);

  // Creates the file, or cuts an existing one to length 0, and closes it again.
  // Fails with 32 while another open of the file exists.
  static bool CreateOrTruncate(const std::string& path);

  ~NativeFile();
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;

  // Reads up to count bytes at offset; fewer only at the end of the file.
  // Returns the bytes read, or -1 on failure.
  int32_t ReadAt(int64_t offset, void* buffer, int32_t count);
  // Writes all count bytes at offset.
  bool WriteAt(int64_t offset, const void* buffer, int32_t count);
  // File size in bytes, -1 on failure.
  int64_t Size();
  bool Flush();
  bool SetEnd(int64_t size);

  // Exclusive, non-waiting; 33 when another open holds an overlapping region.
  // A length of 0 locks nothing and succeeds (it never reaches the kernel).
  bool LockRegion(uint32_t offset, uint32_t length, const void* owner);
  // Releases the region that owner locked with exactly this offset and length;
  // 158 when there is none.
  bool UnlockRegion(uint32_t offset, uint32_t length, const void* owner);
  // Releases every region owner still holds (errors ignored).
  void UnlockAll(const void* owner);

  bool ReadWrite() const { return readWrite_; }
  bool Shared() const { return shared_; }
  const FileIdentity& Identity() const { return identity_; }

 private:
  struct HeldRegion {
    uint64_t offset;
    uint64_t length;
    const void* owner;
  };

  NativeFile(int fd, bool readWrite, bool shared, bool canWriteLock, FileIdentity identity);
  bool KernelLock(uint64_t offset, uint64_t length, bool lock);

  int fd_;
  bool readWrite_;
  bool shared_;
  bool canWriteLock_;  // false when the descriptor could only be opened for reading
  FileIdentity identity_;
  std::mutex regionsMutex_;
  std::vector<HeldRegion> heldRegions_;
};

}  // namespace velorin::platform
