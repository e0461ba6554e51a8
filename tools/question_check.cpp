#include "tools/question_check.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "engine/dbf_format.h"
#include "engine/vr6_DBF.h"
#include "engine/vr6_eror.h"
#include "engine/vr6_memo.h"
#include "platform/code_page.h"

namespace velorin::tools {

namespace {

// Language-driver bytes that name a code page.
constexpr uint8_t kDriverRussianDos = 0x26;
constexpr uint8_t kDriverRussianOem = 0x65;
constexpr uint8_t kDriverRussianWindows = 0xC9;

// Texts quoted in messages are cut here; the start tells which one it is.
constexpr size_t kShownBytes = 60;

int CodePageOfDriver(uint8_t driver) {
  switch (driver) {
    case kDriverRussianDos:
    case kDriverRussianOem: return 866;
    case kDriverRussianWindows: return 1251;
    default: return platform::kNoCodePage;
  }
}

bool IsText(char type) { return type == 'C' || type == 'M'; }

std::string_view TrimmedBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

// The bytes of a memo, never more than the memo file holds.
std::string MemoText(VRO_dBaseFld& table, int32_t number) {
  VRobjMemo* memo = table.MemoFor(number);
  if (memo == nullptr) return std::string();
  int32_t size = std::min(table.MemoSize(number), std::max(memo->Size(), 0));
  if (size <= 0) return std::string();
  std::string bytes(static_cast<size_t>(size), '\0');
  table.MemoRead(number, bytes.data(), size);
  bytes.resize(static_cast<size_t>(std::clamp(size, 0, static_cast<int32_t>(bytes.size()))));
  return bytes;
}

// A field's text as the program reads it.
std::string FieldText(VRO_dBaseFld& table, int32_t number) {
  if (table.FieldType(number) == 'M') return MemoText(table, number);
  std::string text = table.GetText(number);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

class Checker {
 public:
  Checker(VRO_dBaseFld& table, int ansiCodePage) : table_(table), ansiCodePage_(ansiCodePage) {}

  std::vector<QuestionProblem> Run() {
    CheckLanguageDriver();
    CheckFields();
    if (table_.RecordCount() == 0) Report(0, "the table holds no questions");
    table_.SetUseDeleted(true);
    for (int32_t n = 1; n <= table_.RecordCount(); ++n) CheckRecord(n);
    return std::move(problems_);
  }

 private:
  void Report(int32_t record, std::string message) { problems_.push_back({record, std::move(message)}); }

  std::string Shown(std::string_view bytes) const {
    std::string shown = platform::ToUtf8(bytes.substr(0, kShownBytes), ansiCodePage_);
    return "\"" + shown + (bytes.size() > kShownBytes ? "...\"" : "\"");
  }

  void CheckLanguageDriver() {
    uint8_t driver = table_.HeaderImage()[dbf_header::kLanguageDriver];
    int codePage = CodePageOfDriver(driver);
    if (codePage != platform::kNoCodePage && codePage != ansiCodePage_) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", driver);
      Report(0, std::string("the language driver ") + hex + " marks the text as code page " +
                    std::to_string(codePage) + ", but the program shows it as code page " +
                    std::to_string(ansiCodePage_) + " without translation");
    }
  }

  void CheckFields() {
    for (size_t i = 0; i < std::size(kQuestionFields); ++i) {
      int32_t number = table_.FieldNumber(kQuestionFields[i]);
      if (number == 0) {
        Report(0, std::string("no field ") + kQuestionFields[i]);
      } else if (!IsText(table_.FieldType(number))) {
        Report(0, std::string("field ") + kQuestionFields[i] + " is of type " + table_.FieldType(number) +
                      ", not text (C or M)");
      } else {
        fields_[i] = number;
      }
    }
  }

  void CheckRecord(int32_t n) {
    table_.GoRecord(n);
    if (table_.IsDeleted()) Report(n, "deleted");
    std::optional<std::string> texts[std::size(kQuestionFields)];
    for (size_t i = 0; i < std::size(kQuestionFields); ++i) {
      if (fields_[i] == 0) continue;
      try {
        texts[i] = FieldText(table_, fields_[i]);
      } catch (const EVelorinError& e) {
        Report(n, std::string("the memo of ") + kQuestionFields[i] + " cannot be read: " + e.what());
      }
    }
    if (texts[0] && TrimmedBlanks(*texts[0]).empty()) Report(n, "the question is empty");
    std::string keys[std::size(kQuestionFields)];
    for (size_t i = 1; i < std::size(kQuestionFields); ++i) {
      if (!texts[i]) continue;
      keys[i] = std::string(TrimmedBlanks(*texts[i]));
      if (keys[i].empty()) {
        Report(n, std::string("answer ") + kQuestionFields[i] + " is empty");
        texts[i].reset();
        continue;
      }
      if (platform::IsSupportedCodePage(ansiCodePage_)) {
        platform::UpperBuffer(keys[i].data(), keys[i].size(), ansiCodePage_);
      }
      for (size_t j = 1; j < i; ++j) {
        if (texts[j] && keys[j] == keys[i]) {
          bool same = TrimmedBlanks(*texts[j]) == TrimmedBlanks(*texts[i]);
          Report(n, std::string("answers ") + kQuestionFields[j] + " and " + kQuestionFields[i] +
                        (same ? " are the same: " + Shown(TrimmedBlanks(*texts[i]))
                              : " differ only in letter case or blanks: " + Shown(*texts[j]) + ", " +
                                    Shown(*texts[i])));
        }
      }
    }
  }

  VRO_dBaseFld& table_;
  int ansiCodePage_;
  int32_t fields_[std::size(kQuestionFields)] = {};
  std::vector<QuestionProblem> problems_;
};

}  // namespace

std::vector<QuestionProblem> CheckQuestionTable(VRO_dBaseFld& table, int ansiCodePage) {
  return Checker(table, ansiCodePage).Run();
}

}  // namespace velorin::tools
