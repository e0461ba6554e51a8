// os_error.h — the last-error value of the calling thread, in Windows numbers.
//
// The engine reports operating-system failures by the numbers its message table
// knows (2 "File not found", 32 a share conflict, 33 a lock conflict ...). POSIX
// calls set errno; the platform layer translates every errno into one of these
// numbers before the engine sees it, so a raw errno never reaches an engine Status.
#pragma once

#include <cstdint>

namespace velorin::platform {

namespace os_error {
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kTooManyOpenFiles = 4;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kNotEnoughMemory = 8;
constexpr uint32_t kNotSameDevice = 17;
constexpr uint32_t kGeneralFailure = 31;
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kLockViolation = 33;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kReadFault = 100;   // the engine's "Disk read error"
constexpr uint32_t kWriteFault = 101;  // the engine's "Disk write error"
constexpr uint32_t kDiskFull = 112;
constexpr uint32_t kNotLocked = 158;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kFileTooLarge = 223;
}  // namespace os_error

// Whether a failed call was reading or writing: EIO maps to 100 or 101.
enum class IoDirection { kOther, kRead, kWrite };

uint32_t LastError();
void SetLastError(uint32_t code);

// The Windows number for an errno value (see the table in os_error.cpp).
uint32_t ErrorFromErrno(int errnoValue, IoDirection direction = IoDirection::kOther);

// Sets the last error from errno and returns it.
uint32_t SetLastErrorFromErrno(int errnoValue, IoDirection direction = IoDirection::kOther);

}  // namespace velorin::platform
