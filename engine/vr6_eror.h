// vr6_eror.h — the engine's one way of failing.
//
// Every failed engine operation becomes (code, sub-code, text): the code is an
// operating-system number below 1000 or one of the engine's own from 1001, the
// sub-code names the operation that failed (-7: none), and the text is usually a
// file or field name. The process-wide error procedure turns these into an
// EVelorinError whose message comes from EngineErrorTexts; it never returns.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velorin {

// The engine's exception: a message and nothing else.
class EVelorinError : public std::runtime_error {
 public:
  explicit EVelorinError(const std::string& message) : std::runtime_error(message) {}
};

namespace error_code {
constexpr int32_t kFileNotFound = 2;
constexpr int32_t kAccessDenied = 5;
constexpr int32_t kInvalidHandle = 6;
constexpr int32_t kInvalidFileAccess = 12;  // creating a file that is open in this process
constexpr int32_t kSharingViolation = 32;
constexpr int32_t kLockViolation = 33;
constexpr int32_t kInvalidParameter = 87;
constexpr int32_t kShortRead = 221;  // a Status only: fewer bytes than asked, never raised
constexpr int32_t kFileTooLarge = 223;
constexpr int32_t kHeaderInvalid = 1001;
constexpr int32_t kBeyondEof = 1002;
constexpr int32_t kFieldNameInvalid = 1003;
constexpr int32_t kFieldTypeIncorrect = 1004;
constexpr int32_t kMemoFormat = 1005;
constexpr int32_t kFormulaUntranslatable = 1006;
constexpr int32_t kNumberTooLarge = 1011;
}  // namespace error_code

// The operation that failed.
namespace sub_code {
constexpr int32_t kNone = -7;
constexpr int32_t kReadAt = 1101;
constexpr int32_t kWriteAt = 1102;
constexpr int32_t kSize = 1105;
constexpr int32_t kRename = 1106;
constexpr int32_t kOpen = 1107;
constexpr int32_t kCreateEmpty = 1108;
constexpr int32_t kTruncate = 1109;
constexpr int32_t kFlush = 1111;
constexpr int32_t kMemoLock = 1112;
constexpr int32_t kReadHeader = 1204;
constexpr int32_t kReadRecord = 1207;
constexpr int32_t kPutDate = 1251;
constexpr int32_t kPutNumber = 1261;
constexpr int32_t kFieldByName = 1298;
constexpr int32_t kFieldOfType = 1299;
constexpr int32_t kHandlerLock = 2105;
constexpr int32_t kHandlerWrite = 2112;
constexpr int32_t kMemoOpen = 6101;
constexpr int32_t kMemoFormat = 6199;
}  // namespace sub_code

struct EngineErrorText {
  int32_t code;
  const char* text;
};

// The 26 rows of message texts, searched from the top.
extern const EngineErrorText EngineErrorTexts[26];

// The message DefaultEngineError raises for (code, subCode, text).
std::string EngineErrorMessage(int32_t code, int32_t subCode, std::string_view text);

// Raises EVelorinError with EngineErrorMessage; never returns.
[[noreturn]] void DefaultEngineError(int32_t code, int32_t subCode, std::string_view text);

// The replaceable process-wide error procedure; DefaultEngineError unless replaced.
// A replacement that returns lets the failed operation return its failure value.
using EngineErrorProcedure = void (*)(int32_t code, int32_t subCode, std::string_view text);
extern EngineErrorProcedure EngineErrorProc;

// Raises a plain engine error carrying just the message (no code table).
[[noreturn]] void RaiseEngineMessage(const std::string& message);

}  // namespace velorin
