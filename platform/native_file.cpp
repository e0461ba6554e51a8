#include "platform/native_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/os_error.h"

namespace velorin::platform {

namespace {

bool IsLockConflict(int err) { return err == EAGAIN || err == EACCES; }

bool OfdLock(int fd, short type, int64_t offset, int64_t length) {
  struct flock request = {};
  request.l_type = type;
  request.l_whence = SEEK_SET;
  request.l_start = offset;
  request.l_len = length;
  request.l_pid = 0;  // required for open-file-description locks
  int result;
  do {
    result = fcntl(fd, F_OFD_SETLK, &request);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// Whether any other open holds a lock that a write lock on the range would meet.
bool OfdRangeIsLocked(int fd, int64_t offset, int64_t length) {
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = offset;
  probe.l_len = length;
  probe.l_pid = 0;
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

// ENOENT means 2 when the directory exists and 3 when it does not.
uint32_t OpenFailure(int err, const std::string& path) {
  if (err == ENOENT) {
    struct stat st;
    std::string directory = DirectoryName(path);
    if (stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      SetLastError(os_error::kPathNotFound);
      return os_error::kPathNotFound;
    }
  }
  return SetLastErrorFromErrno(err);
}

// Closes a descriptor whose share lock was refused: 32 for a conflict.
void ShareLockFailure(int fd, int err) {
  close(fd);
  if (IsLockConflict(err)) {
    SetLastError(os_error::kSharingViolation);
  } else {
    SetLastErrorFromErrno(err);
  }
}

}  // namespace

std::unique_ptr<NativeFile> NativeFile::Open(const std::string& path, bool readWrite, bool shared) {
  // The descriptor is opened for writing whenever the file allows it, even for a
  // read-only handle: POSIX grants write locks only through writable descriptors,
  // and a read-only Windows handle may still take exclusive locks.
  bool canWriteLock = true;
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && !readWrite && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
    canWriteLock = false;
    do {
      fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
  }
  if (fd < 0) {
    OpenFailure(errno, path);
    return nullptr;
  }

  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    close(fd);
    SetLastErrorFromErrno(err);
    return nullptr;
  }

  bool granted;
  if (shared) {
    granted = OfdLock(fd, F_RDLCK, kShareByte, 1);
  } else if (canWriteLock) {
    granted = OfdLock(fd, F_WRLCK, kShareByte, 1);
  } else {
    // A descriptor that cannot write cannot take the write lock: test that no other
    // open exists, then mark this one so that later opens see it.
    if (OfdRangeIsLocked(fd, kShareByte, 1)) {
      errno = EAGAIN;
      granted = false;
    } else {
      granted = OfdLock(fd, F_RDLCK, kShareByte, 1);
    }
  }
  if (!granted) {
    ShareLockFailure(fd, errno);
    return nullptr;
  }
  FileIdentity identity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return std::unique_ptr<NativeFile>(new NativeFile(fd, readWrite, shared, canWriteLock, identity));
}

bool NativeFile::CreateOrTruncate(const std::string& path) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    OpenFailure(errno, path);
    return false;
  }
  if (!OfdLock(fd, F_WRLCK, kShareByte, 1)) {
    ShareLockFailure(fd, errno);
    return false;
  }
  if (ftruncate(fd, 0) != 0) {
    int err = errno;
    close(fd);
    SetLastErrorFromErrno(err, IoDirection::kWrite);
    return false;
  }
  close(fd);
  return true;
}

NativeFile::NativeFile(int fd, bool readWrite, bool shared, bool canWriteLock, FileIdentity identity)
    : fd_(fd), readWrite_(readWrite), shared_(shared), canWriteLock_(canWriteLock), identity_(identity) {}

NativeFile::~NativeFile() { close(fd_); }

int32_t NativeFile::ReadAt(int64_t offset, void* buffer, int32_t count) {
  if (offset < 0 || count < 0) {
    SetLastError(os_error::kInvalidParameter);
    return -1;
  }
  auto* bytes = static_cast<char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    ssize_t n = pread(fd_, bytes + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno, IoDirection::kRead);
      return -1;
    }
    if (n == 0) break;  // end of file
    done += static_cast<int32_t>(n);
  }
  return done;
}

bool NativeFile::WriteAt(int64_t offset, const void* buffer, int32_t count) {
  if (!readWrite_) {
    SetLastError(os_error::kAccessDenied);
    return false;
  }
  if (offset < 0 || count < 0) {
    SetLastError(os_error::kInvalidParameter);
    return false;
  }
  const auto* bytes = static_cast<const char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    ssize_t n = pwrite(fd_, bytes + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno, IoDirection::kWrite);
      return false;
    }
    if (n == 0) {
      SetLastError(os_error::kWriteFault);
      return false;
    }
    done += static_cast<int32_t>(n);
  }
  return true;
}

int64_t NativeFile::Size() {
  struct stat st;
  if (fstat(fd_, &st) != 0) {
    SetLastErrorFromErrno(errno);
    return -1;
  }
  return st.st_size;
}

bool NativeFile::Flush() {
  if (fsync(fd_) == 0) return true;
  if (errno == EINVAL || errno == EROFS) return true;  // nothing that can be synchronised
  SetLastErrorFromErrno(errno, IoDirection::kWrite);
  return false;
}

bool NativeFile::SetEnd(int64_t size) {
  if (!readWrite_) {
    SetLastError(os_error::kAccessDenied);
    return false;
  }
  int result;
  do {
    result = ftruncate(fd_, size);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return true;
  SetLastErrorFromErrno(errno, IoDirection::kWrite);
  return false;
}

bool NativeFile::KernelLock(uint64_t offset, uint64_t length, bool lock) {
  // A descriptor that can only read takes read locks: they still keep every
  // writer (who must take write locks) out of the region.
  short type = lock ? (canWriteLock_ ? F_WRLCK : F_RDLCK) : F_UNLCK;
  if (OfdLock(fd_, type, static_cast<int64_t>(offset), static_cast<int64_t>(length))) return true;
  if (IsLockConflict(errno)) {
    SetLastError(os_error::kLockViolation);
  } else {
    SetLastErrorFromErrno(errno);
  }
  return false;
}

bool NativeFile::LockRegion(uint32_t offset, uint32_t length, const void* owner) {
  std::lock_guard<std::mutex> guard(regionsMutex_);
  uint64_t begin = offset;
  uint64_t end = begin + length;
  if (length > 0) {
    for (const HeldRegion& held : heldRegions_) {
      if (held.length > 0 && begin < held.offset + held.length && held.offset < end) {
        SetLastError(os_error::kLockViolation);
        return false;
      }
    }
    if (!KernelLock(begin, length, true)) return false;
  }
  heldRegions_.push_back({begin, length, owner});
  return true;
}

bool NativeFile::UnlockRegion(uint32_t offset, uint32_t length, const void* owner) {
  std::lock_guard<std::mutex> guard(regionsMutex_);
  auto held = std::find_if(heldRegions_.begin(), heldRegions_.end(), [&](const HeldRegion& region) {
    return region.offset == offset && region.length == length && region.owner == owner;
  });
  if (held == heldRegions_.end()) {
    SetLastError(os_error::kNotLocked);
    return false;
  }
  // Held regions never overlap, so these bytes belong to this region alone.
  if (length > 0 && !KernelLock(offset, length, false)) return false;
  heldRegions_.erase(held);
  return true;
}

void NativeFile::UnlockAll(const void* owner) {
  std::lock_guard<std::mutex> guard(regionsMutex_);
  for (auto held = heldRegions_.begin(); held != heldRegions_.end();) {
    if (held->owner != owner) {
      ++held;
      continue;
    }
    if (held->length > 0) KernelLock(held->offset, held->length, false);
    held = heldRegions_.erase(held);
  }
}

}  // namespace velorin::platform
