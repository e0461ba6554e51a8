#include "platform/locale_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/code_page.h"
#include "platform/convert_error.h"
#include "platform/number_text.h"
#include "support/child_process.h"

namespace velorin::platform {
namespace {

LocaleSettings FromMap(const std::map<std::string, std::string>& variables) {
  return LocaleSettings::FromVariables([&](const char* name) -> const char* {
    auto it = variables.find(name);
    return it == variables.end() ? nullptr : it->second.c_str();
  });
}

TEST(LocaleSettingsValues, DefaultsAreRussian) {
  LocaleSettings settings;
  EXPECT_EQ(settings.AnsiCodePage(), 1251);
  EXPECT_EQ(settings.OemCodePage(), 866);
  EXPECT_EQ(settings.ShortDate().Pattern(), "dd.MM.yyyy");
  EXPECT_EQ(settings.DecimalSeparator(), ',');
  LocaleSettings none = FromMap({});
  EXPECT_EQ(none.AnsiCodePage(), 1251);
  EXPECT_EQ(none.OemCodePage(), 866);
  EXPECT_EQ(none.ShortDate().Pattern(), "dd.MM.yyyy");
  EXPECT_EQ(none.DecimalSeparator(), ',');
}

TEST(LocaleSettingsValues, VariablesOverrideEachSetting) {
  LocaleSettings settings = FromMap({{"VELORIN_ANSI_CODEPAGE", "1252"},
                                     {"VELORIN_OEM_CODEPAGE", "850"},
                                     {"VELORIN_SHORT_DATE_FORMAT", "MM/dd/yy"},
                                     {"VELORIN_DECIMAL_SEPARATOR", "."}});
  EXPECT_EQ(settings.AnsiCodePage(), 1252);
  EXPECT_EQ(settings.OemCodePage(), 850);
  EXPECT_EQ(settings.ShortDate().Pattern(), "MM/dd/yy");
  EXPECT_EQ(settings.DecimalSeparator(), '.');
}

TEST(LocaleSettingsValues, UnusableValuesKeepTheDefaults) {
  LocaleSettings settings = FromMap({{"VELORIN_ANSI_CODEPAGE", "65001"},
                                     {"VELORIN_OEM_CODEPAGE", "86x"},
                                     {"VELORIN_SHORT_DATE_FORMAT", "dd.MM"},
                                     {"VELORIN_DECIMAL_SEPARATOR", ",,"}});
  EXPECT_EQ(settings.AnsiCodePage(), 1251);
  EXPECT_EQ(settings.OemCodePage(), 866);
  EXPECT_EQ(settings.ShortDate().Pattern(), "dd.MM.yyyy");
  EXPECT_EQ(settings.DecimalSeparator(), ',');
  for (const char* bad : {"", "0", "-866", "99999999999", " 866", "932"}) {
    EXPECT_EQ(FromMap({{"VELORIN_OEM_CODEPAGE", bad}}).OemCodePage(), 866) << bad;
  }
  for (const char* bad : {"", "1", "e", "-", "+", " ", "\x01"}) {
    EXPECT_EQ(FromMap({{"VELORIN_DECIMAL_SEPARATOR", bad}}).DecimalSeparator(), ',') << bad;
  }
  EXPECT_EQ(FromMap({{"VELORIN_SHORT_DATE_FORMAT", ""}}).ShortDate().Pattern(), "dd.MM.yyyy");
}

TEST(LocaleSettingsValues, ExplicitConstructorChecksToo) {
  LocaleSettings settings(866, 1251, "yyyy-MM-dd", ';');
  EXPECT_EQ(settings.AnsiCodePage(), 866);
  EXPECT_EQ(settings.OemCodePage(), 1251);
  EXPECT_EQ(settings.ShortDate().Pattern(), "yyyy-MM-dd");
  EXPECT_EQ(settings.DecimalSeparator(), ';');
  LocaleSettings bad(1, 2, "MM", '7');
  EXPECT_EQ(bad.AnsiCodePage(), 1251);
  EXPECT_EQ(bad.OemCodePage(), 866);
  EXPECT_EQ(bad.ShortDate().Pattern(), "dd.MM.yyyy");
  EXPECT_EQ(bad.DecimalSeparator(), ',');
}

// The active settings are read from the environment once per process, so they are
// checked in fresh copies of this test program started with a chosen environment.
// The child side only runs when VELORIN_LOCALE_CHILD is set and prints what it sees.
TEST(ActiveLocaleChild, DISABLED_Report) {
  if (std::getenv("VELORIN_LOCALE_CHILD") == nullptr) GTEST_SKIP() << "runs in a child process";
  const LocaleSettings& active = ActiveLocale();
  std::string e0 = "\xE0";  // 1251 "а", 1252 "à"
  std::string oem = CharToOem(e0);
  std::string upper = e0;
  UpperBuffer(upper.data(), upper.size());
  auto parse = [](const char* text) {
    try {
      return std::to_string(LocaleTextToFloat(text)).substr(0, 3);
    } catch (const EConvertError&) {
      return std::string("-");
    }
  };
  printf("REPORT ansi=%d oem=%d date=%s sep=%c toOem=%02X upper=%02X back=%02X comma=%s semicolon=%s\n",
         active.AnsiCodePage(), active.OemCodePage(), active.ShortDate().Pattern().c_str(),
         active.DecimalSeparator(), static_cast<unsigned char>(oem[0]),
         static_cast<unsigned char>(upper[0]), static_cast<unsigned char>(OemToChar(oem)[0]),
         parse("2,5").c_str(), parse("2;5").c_str());
}

std::string RunChild(const std::string& environment) {
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string out;
  int status = testing::RunCommand(
      "env -u VELORIN_ANSI_CODEPAGE -u VELORIN_OEM_CODEPAGE -u VELORIN_SHORT_DATE_FORMAT "
      "-u VELORIN_DECIMAL_SEPARATOR VELORIN_LOCALE_CHILD=1 LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 " +
          environment + " '" + self + "' --gtest_also_run_disabled_tests --gtest_filter=ActiveLocaleChild.DISABLED_Report 2>&1",
      &out);
  EXPECT_EQ(status, 0) << out;
  size_t at = out.find("REPORT ");
  if (at == std::string::npos) return out;
  return out.substr(at, out.find('\n', at) - at);
}

TEST(ActiveLocale, DefaultsWhenNoVariableIsSet) {
  // 1251 "а" (0xE0) is 0xA0 in 866, its capital 0xC0.
  EXPECT_EQ(RunChild(""),
            "REPORT ansi=1251 oem=866 date=dd.MM.yyyy sep=, toOem=A0 upper=C0 back=E0 comma=2.5 "
            "semicolon=-");
  // Empty or unusable variables count as unset.
  EXPECT_EQ(RunChild("VELORIN_ANSI_CODEPAGE= VELORIN_OEM_CODEPAGE=abc VELORIN_SHORT_DATE_FORMAT=MM.yy"),
            "REPORT ansi=1251 oem=866 date=dd.MM.yyyy sep=, toOem=A0 upper=C0 back=E0 comma=2.5 "
            "semicolon=-");
}

TEST(ActiveLocale, VariablesChooseCodePagesDateFormatAndSeparator) {
  std::string report = RunChild(
      "VELORIN_ANSI_CODEPAGE=1252 VELORIN_OEM_CODEPAGE=850 VELORIN_SHORT_DATE_FORMAT=MM/dd/yyyy "
      "VELORIN_DECIMAL_SEPARATOR=';'");
  // 1252 "à" (0xE0) is 0x85 in 850, and its capital "À" is 0xC0.
  EXPECT_EQ(report,
            "REPORT ansi=1252 oem=850 date=MM/dd/yyyy sep=; toOem=85 upper=C0 back=E0 comma=- "
            "semicolon=2.5");
}

}  // namespace
}  // namespace velorin::platform
