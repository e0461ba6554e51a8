// locale_settings.h — the regional settings the program works with.
//
// The program is made for a Russian setting, and that is what it uses unless the
// environment says otherwise:
//   ANSI code page 1251, OEM code page 866, short date format dd.MM.yyyy,
//   decimal separator ",".
// Environment variables, read once when the settings are first needed:
//   VELORIN_ANSI_CODEPAGE      the ANSI code page (table text as shown), e.g. 1252
//   VELORIN_OEM_CODEPAGE       the OEM code page (tables opened with translation), e.g. 850
//   VELORIN_SHORT_DATE_FORMAT  the short date format, e.g. dd/MM/yyyy (date_format.h)
//   VELORIN_DECIMAL_SEPARATOR  one character, e.g. "."
// A variable that is unset, empty or unusable leaves that setting at its default:
// a code page must be a decimal number code_page.h supports; a date format without
// a day, month or year becomes dd.MM.yyyy; a separator must be one printable ASCII
// character other than a letter, digit, blank, "+" or "-".
//
// The engine reads these settings only through ActiveLocale(), never through the
// C library's locale, so results do not depend on LANG or LC_ALL.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/date_format.h"

namespace velorin::platform {

class LocaleSettings {
 public:
  static constexpr int kDefaultAnsiCodePage = 1251;
  static constexpr int kDefaultOemCodePage = 866;
  static constexpr const char* kDefaultShortDateFormat = "dd.MM.yyyy";
  static constexpr char kDefaultDecimalSeparator = ',';

  static constexpr const char* kAnsiCodePageVariable = "VELORIN_ANSI_CODEPAGE";
  static constexpr const char* kOemCodePageVariable = "VELORIN_OEM_CODEPAGE";
  static constexpr const char* kShortDateFormatVariable = "VELORIN_SHORT_DATE_FORMAT";
  static constexpr const char* kDecimalSeparatorVariable = "VELORIN_DECIMAL_SEPARATOR";

  // The Russian defaults.
  LocaleSettings();
  // Explicit values; an unusable one is replaced by its default as described above.
  LocaleSettings(int ansiCodePage, int oemCodePage, std::string_view shortDateFormat,
                 char decimalSeparator);

  // The settings named by the four variables, looked up through lookup (which
  // returns nullptr for an unset name), so tests need not touch the environment.
  static LocaleSettings FromVariables(const std::function<const char*(const char*)>& lookup);
  // FromVariables over the process environment.
  static LocaleSettings FromEnvironment();

  int AnsiCodePage() const { return ansiCodePage_; }
  int OemCodePage() const { return oemCodePage_; }
  // The short date format in effect (already the fallback when the given one was unusable).
  const ShortDateFormat& ShortDate() const { return shortDate_; }
  char DecimalSeparator() const { return decimalSeparator_; }

 private:
  int ansiCodePage_;
  int oemCodePage_;
  ShortDateFormat shortDate_;
  char decimalSeparator_;
};

// The process's settings: FromEnvironment(), taken on first use and never again.
const LocaleSettings& ActiveLocale();

}  // namespace velorin::platform
