#include "platform/os_error.h"

#include <cerrno>

namespace velorin::platform {

namespace {
thread_local uint32_t lastError = os_error::kSuccess;
}

uint32_t LastError() { return lastError; }

void SetLastError(uint32_t code) { lastError = code; }

uint32_t ErrorFromErrno(int errnoValue, IoDirection direction) {
  switch (errnoValue) {
    case 0: return os_error::kSuccess;
    case ENOENT: return os_error::kFileNotFound;  // callers turn it into 3 for a missing directory
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return os_error::kPathNotFound;
    case EMFILE:
    case ENFILE: return os_error::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return os_error::kAccessDenied;
    case EBADF: return os_error::kInvalidHandle;
    case ENOMEM: return os_error::kNotEnoughMemory;
    case EXDEV: return os_error::kNotSameDevice;
    case EBUSY:
    case ETXTBSY: return os_error::kSharingViolation;
    case EINVAL: return os_error::kInvalidParameter;
    case EIO: return direction == IoDirection::kWrite ? os_error::kWriteFault : os_error::kReadFault;
    case ENOSPC:
    case EDQUOT: return os_error::kDiskFull;
    case EEXIST: return os_error::kAlreadyExists;
    case EFBIG: return os_error::kFileTooLarge;
    default: return os_error::kGeneralFailure;
  }
}

uint32_t SetLastErrorFromErrno(int errnoValue, IoDirection direction) {
  uint32_t code = ErrorFromErrno(errnoValue, direction);
  SetLastError(code);
  return code;
}

}  // namespace velorin::platform
