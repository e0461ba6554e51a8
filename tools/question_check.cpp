#include "tools/question_check.h"

#include <cstdio>
#include <optional>

#include "engine/dbf_format.h"
#include "engine/field_kind.h"
#include "engine/text_trim.h"
#include "engine/vr6_DBF.h"
#include "engine/vr6_eror.h"
#include "platform/code_page.h"
#include "tools/field_values.h"

namespace velorin::tools {

namespace {

// Texts quoted in messages are cut here; the start tells which one it is.
constexpr size_t kShownBytes = 60;

bool IsText(FieldKind kind) { return kind == FieldKind::Character || kind == FieldKind::Memo; }

// A field's text as the program reads it: the bytes as they are, trailing
// blanks of C fields removed, the memo's text for M fields.
std::string FieldText(VRO_dBaseFld& table, int32_t number) {
  return ReadFieldValue(table, number, platform::kNoCodePage).text;
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
    // A driver that names no code page gives the ANSI one, which is no problem.
    int codePage = ChooseCodePage("", driver);
    if (codePage != ansiCodePage_) {
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
      } else if (!IsText(table_.KindOfField(number))) {
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
    if (texts[0] && TrimWhiteSpace(*texts[0]).empty()) Report(n, "the question is empty");
    std::string keys[std::size(kQuestionFields)];
    for (size_t i = 1; i < std::size(kQuestionFields); ++i) {
      if (!texts[i]) continue;
      keys[i] = std::string(TrimWhiteSpace(*texts[i]));
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
          bool same = TrimWhiteSpace(*texts[j]) == TrimWhiteSpace(*texts[i]);
          Report(n, std::string("answers ") + kQuestionFields[j] + " and " + kQuestionFields[i] +
                        (same ? " are the same: " + Shown(TrimWhiteSpace(*texts[i]))
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
