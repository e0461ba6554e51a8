#include "platform/locale_settings.h"

#include <cstdlib>

#include "platform/code_page.h"

namespace velorin::platform {

namespace {

int UsableCodePage(int codePage, int fallback) {
  return codePage != kNoCodePage && IsSupportedCodePage(codePage) ? codePage : fallback;
}

bool UsableSeparator(char c) {
  if (c <= ' ' || c > '~') return false;
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return false;
  return c != '+' && c != '-';
}

// A code page number in decimal digits only; 0 (unusable) for anything else.
int ParseCodePage(const char* text) {
  if (text == nullptr || *text == '\0') return 0;
  int value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9' || value > 65535) return 0;
    value = value * 10 + (*p - '0');
  }
  return value > 65535 ? 0 : value;
}

}  // namespace

LocaleSettings::LocaleSettings()
    : ansiCodePage_(kDefaultAnsiCodePage),
      oemCodePage_(kDefaultOemCodePage),
      shortDate_(kDefaultShortDateFormat),
      decimalSeparator_(kDefaultDecimalSeparator) {}

LocaleSettings::LocaleSettings(int ansiCodePage, int oemCodePage, std::string_view shortDateFormat,
                               char decimalSeparator)
    : ansiCodePage_(UsableCodePage(ansiCodePage, kDefaultAnsiCodePage)),
      oemCodePage_(UsableCodePage(oemCodePage, kDefaultOemCodePage)),
      shortDate_(shortDateFormat),
      decimalSeparator_(UsableSeparator(decimalSeparator) ? decimalSeparator : kDefaultDecimalSeparator) {}

LocaleSettings LocaleSettings::FromVariables(const std::function<const char*(const char*)>& lookup) {
  const char* ansi = lookup(kAnsiCodePageVariable);
  const char* oem = lookup(kOemCodePageVariable);
  const char* date = lookup(kShortDateFormatVariable);
  const char* separator = lookup(kDecimalSeparatorVariable);
  std::string_view dateFormat = (date != nullptr && *date != '\0') ? date : kDefaultShortDateFormat;
  char separatorChar = kDefaultDecimalSeparator;
  if (separator != nullptr && separator[0] != '\0' && separator[1] == '\0') separatorChar = separator[0];
  return LocaleSettings(ParseCodePage(ansi), ParseCodePage(oem), dateFormat, separatorChar);
}

LocaleSettings LocaleSettings::FromEnvironment() {
  return FromVariables([](const char* name) -> const char* { return std::getenv(name); });
}

const LocaleSettings& ActiveLocale() {
  static const LocaleSettings settings = LocaleSettings::FromEnvironment();
  return settings;
}

}  // namespace velorin::platform
