#include "engine/vr6_disk.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "engine/vr6_eror.h"
#include "platform/file_names.h"
#include "platform/native_file.h"
#include "platform/os_error.h"

namespace velorin {

struct SharedFileHandle {
  explicit SharedFileHandle(std::unique_ptr<platform::NativeFile> f) : file(std::move(f)) {}
  std::unique_ptr<platform::NativeFile> file;
  std::recursive_mutex guard;  // serialises a seek and its transfer on this file
};

namespace {

int32_t SaturatedEnd(int32_t offset, int32_t count) {
  int64_t end = int64_t{offset} + count;
  return static_cast<int32_t>(std::min<int64_t>(end, std::numeric_limits<int32_t>::max()));
}

int32_t LastErrorStatus() { return static_cast<int32_t>(platform::LastError()); }

}  // namespace

VRO_DiskFile::VRO_DiskFile(const std::string& fileName, bool readWrite, bool shared)
    : fileName_(platform::FullPathName(fileName)), shared_(shared), readWrite_(readWrite) {
  existed_ = platform::FileExists(fileName_);
}

VRO_DiskFile::~VRO_DiskFile() { VRO_DiskFile::Close(); }

void VRO_DiskFile::ReportStatus(int32_t subCode) {
  if (status_ == 0) return;
  platform::SetLastError(static_cast<uint32_t>(status_));
  Error(status_, subCode, fileName_);
}

bool VRO_DiskFile::HasWholeFileAccess() const {
  return !shared_ || (lockCount_ > 0 && lockOffset_ == 0 && lockLength_ == kWholeFileLength);
}

bool VRO_DiskFile::SharesHandleWith(const VRO_DiskFile& other) const {
  return handle_ != nullptr && handle_ == other.handle_;
}

bool VRO_DiskFile::Close() {
  if (closed_) return true;
  std::lock_guard<std::recursive_mutex> registryLock(OpenFiles().Mutex());
  std::shared_ptr<SharedFileHandle> handle = handle_;
  {
    std::lock_guard<std::recursive_mutex> guard(handle->guard);
    if (lockCount_ > 0) {
      lockCount_ = 1;
      VRO_DiskFile::Unlock();
    }
    handle->file->UnlockAll(this);
    lockCount_ = 0;
    status_ = 0;
    OpenFiles().Remove(this);
    // The others keep the file open; what this object wrote reaches the disk now.
    if (dirty_ && handle.use_count() > 2) FlushHandle();
  }
  handle_.reset();
  closed_ = true;
  position_ = 0;
  return true;
}

void VRO_DiskFile::Error(int32_t code, int32_t subCode, std::string_view text) {
  EngineErrorProc(code, subCode, text);
}

int32_t VRO_DiskFile::Size() {
  int32_t result = -1;
  if (closed_) {
    status_ = error_code::kInvalidHandle;
  } else {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    int64_t size = handle_->file->Size();
    if (size < 0) {
      status_ = LastErrorStatus();
    } else if (size > std::numeric_limits<int32_t>::max()) {
      status_ = error_code::kFileTooLarge;
    } else {
      status_ = 0;
      result = static_cast<int32_t>(size);
    }
  }
  ReportStatus(sub_code::kSize);
  return result;
}

void VRO_DiskFile::FlushHandle() {
  status_ = handle_->file->Flush() ? 0 : LastErrorStatus();
  dirty_ = false;
}

void VRO_DiskFile::Flush() {
  if (closed_) return;
  {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    FlushHandle();
  }
  ReportStatus(sub_code::kFlush);
}

bool VRO_DiskFile::LockFile() {
  if (!shared_) return true;
  return LockRegion(0, kWholeFileLength);
}

bool VRO_DiskFile::LockRegion(uint32_t offset, uint32_t length) {
  if (!shared_) {
    status_ = 0;
    ++lockCount_;
    lockOffset_ = offset;
    lockLength_ = length;
    return true;
  }
  if (lockCount_ > 0) {
    if (offset == lockOffset_ && length == lockLength_) {
      status_ = 0;
      ++lockCount_;
    } else {
      status_ = error_code::kLockViolation;
    }
    return status_ == 0;
  }
  if (closed_) {
    status_ = error_code::kInvalidHandle;
    return false;
  }
  lockOffset_ = offset;
  lockLength_ = length;
  if (handle_->file->LockRegion(offset, length, this)) {
    status_ = 0;
    lockCount_ = 1;
  } else {
    status_ = LastErrorStatus();
  }
  return status_ == 0;
}

bool VRO_DiskFile::ExtraRegion(uint32_t offset, uint32_t length, bool lock) {
  if (closed_) {
    status_ = error_code::kInvalidHandle;
    return false;
  }
  bool done = lock ? handle_->file->LockRegion(offset, length, this) : handle_->file->UnlockRegion(offset, length, this);
  status_ = done ? 0 : LastErrorStatus();
  return done;
}

int32_t VRO_DiskFile::ReadAt(int32_t offset, void* buffer, int32_t count) {
  if (offset < 0 || count < 0 || (buffer == nullptr && count > 0)) {
    status_ = error_code::kInvalidParameter;
    bytesDone_ = -1;
  } else if (closed_) {
    status_ = error_code::kInvalidHandle;
    bytesDone_ = -1;
  } else {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    int32_t done = handle_->file->ReadAt(offset, buffer, count);
    if (done < 0) {
      status_ = LastErrorStatus();
      bytesDone_ = -1;
    } else {
      status_ = 0;
      bytesDone_ = done;
      position_ = SaturatedEnd(offset, count);
    }
  }
  // Whatever was not read reads as zero bytes, never as stale memory.
  if (buffer != nullptr && count > 0) {
    int32_t filled = std::max(bytesDone_, 0);
    if (filled < count) std::memset(static_cast<char*>(buffer) + filled, 0, static_cast<size_t>(count - filled));
  }
  ReportStatus(readSubCode_);
  if (status_ == 0 && bytesDone_ < count) status_ = error_code::kShortRead;
  return bytesDone_;
}

bool VRO_DiskFile::Rename(const std::string& newName) {
  Close();
  std::string target = platform::FullPathName(newName);
  platform::FileIdentity from, to;
  if (platform::IdentityOf(fileName_, &from) && platform::IdentityOf(target, &to) && from == to) {
    // Only the letter case changes: the resolved name is the file itself.
    target = platform::NormalizePath(newName);
  }
  int32_t renameStatus = 0;
  bool renamed = target == fileName_ || platform::RenameFile(fileName_, target);
  if (renamed) {
    fileName_ = target;
  } else {
    renameStatus = LastErrorStatus();
  }
  Open();
  if (renameStatus != 0) {
    status_ = renameStatus;
    ReportStatus(sub_code::kRename);
  }
  return renamed;
}

void VRO_DiskFile::Open() {
  status_ = 0;
  {
    std::lock_guard<std::recursive_mutex> registryLock(OpenFiles().Mutex());
    if (closed_) {
      VRO_DiskFile* other = OpenFiles().FindSameFile(fileName_, this);
      if (other != nullptr) {
        handle_ = other->handle_;
        shared_ = other->shared_;
      } else {
        std::unique_ptr<platform::NativeFile> file = platform::NativeFile::Open(fileName_, readWrite_, shared_);
        if (file) {
          handle_ = std::make_shared<SharedFileHandle>(std::move(file));
        } else {
          status_ = LastErrorStatus();
        }
      }
    }
    if (status_ == 0) {
      position_ = 0;
      if (OpenFiles().IndexOf(this) < 0) OpenFiles().Add(this);
      closed_ = false;
      existed_ = true;
    }
  }
  ReportStatus(sub_code::kOpen);
}

void VRO_DiskFile::CreateEmpty() {
  {
    std::lock_guard<std::recursive_mutex> registryLock(OpenFiles().Mutex());
    if (!closed_ || OpenFiles().FindSameFile(fileName_) != nullptr || OpenFiles().FindByName(fileName_) != nullptr) {
      status_ = error_code::kInvalidFileAccess;
    } else if (!platform::NativeFile::CreateOrTruncate(fileName_)) {
      status_ = LastErrorStatus();
    } else {
      Open();
      return;
    }
  }
  ReportStatus(sub_code::kCreateEmpty);
}

void VRO_DiskFile::StatusUpdate(int32_t, int32_t, int32_t) {}

void VRO_DiskFile::Truncate(int32_t newSize) {
  status_ = 0;
  if (!readWrite_ || !HasWholeFileAccess()) {
    status_ = error_code::kAccessDenied;
  } else if (newSize < 0) {
    status_ = error_code::kInvalidParameter;
  } else if (closed_) {
    status_ = error_code::kInvalidHandle;
  } else {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    if (!handle_->file->SetEnd(newSize)) status_ = LastErrorStatus();
  }
  ReportStatus(sub_code::kTruncate);
}

bool VRO_DiskFile::Unlock() {
  status_ = 0;
  if (lockCount_ > 0) {
    if (shared_ && lockCount_ == 1 && handle_ != nullptr) {
      if (!handle_->file->UnlockRegion(lockOffset_, lockLength_, this)) status_ = LastErrorStatus();
    }
    if (status_ == 0) --lockCount_;
  }
  return status_ == 0;
}

void VRO_DiskFile::WriteAt(int32_t offset, const void* buffer, int32_t count) {
  if (offset < 0 || count < 0 || (buffer == nullptr && count > 0)) {
    status_ = error_code::kInvalidParameter;
    bytesDone_ = -1;
  } else if (closed_) {
    status_ = error_code::kInvalidHandle;
    bytesDone_ = -1;
  } else {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    if (handle_->file->WriteAt(offset, buffer, count)) {
      status_ = 0;
      bytesDone_ = count;
      position_ = SaturatedEnd(offset, count);
    } else {
      status_ = LastErrorStatus();
      bytesDone_ = -1;
    }
  }
  if (status_ == 0) dirty_ = true;
  ReportStatus(sub_code::kWriteAt);
}

void VRO_DiskFile::ReleaseLockForShutdown() {
  if (lockCount_ > 0) {
    lockCount_ = 1;
    VRO_DiskFile::Unlock();
    lockCount_ = 0;
  }
}

// ---- the registry ------------------------------------------------------------

VRobjFileColl::~VRobjFileColl() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (VRO_DiskFile* file : files_) file->ReleaseLockForShutdown();
}

void VRobjFileColl::Add(VRO_DiskFile* file) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  files_.push_back(file);
}

void VRobjFileColl::Remove(VRO_DiskFile* file) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  files_.erase(std::remove(files_.begin(), files_.end(), file), files_.end());
}

int32_t VRobjFileColl::IndexOf(const VRO_DiskFile* file) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto found = std::find(files_.begin(), files_.end(), file);
  return found == files_.end() ? -1 : static_cast<int32_t>(found - files_.begin());
}

int32_t VRobjFileColl::Count() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return static_cast<int32_t>(files_.size());
}

VRO_DiskFile* VRobjFileColl::FindByName(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (VRO_DiskFile* file : files_) {
    if (file->FileName() == name) return file;
  }
  return nullptr;
}

VRO_DiskFile* VRobjFileColl::FindSameFile(const std::string& path, const VRO_DiskFile* except) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  platform::FileIdentity identity;
  if (!platform::IdentityOf(path, &identity)) return nullptr;
  for (VRO_DiskFile* file : files_) {
    if (file != except && file->handle_ != nullptr && file->handle_->file->Identity() == identity) return file;
  }
  return nullptr;
}

bool VRobjFileColl::HandleHasOtherUsers(const VRO_DiskFile* file) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (VRO_DiskFile* other : files_) {
    if (other != file && other->SharesHandleWith(*file)) return true;
  }
  return false;
}

VRobjFileColl& OpenFiles() {
  // Never destroyed: engine objects with static lifetime may still close their
  // files after every other static object is gone. The kernel releases the locks
  // of a process that ends.
  alignas(VRobjFileColl) static unsigned char storage[sizeof(VRobjFileColl)];
  static VRobjFileColl* registry = ::new (storage) VRobjFileColl();
  return *registry;
}

}  // namespace velorin
