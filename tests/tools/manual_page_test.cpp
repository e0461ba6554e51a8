// The manual page tools/velorin-dbf.1 against the program's own help: the same
// commands, and in each command's section the same options and arguments.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/tools/cli_test_support.h"

namespace velorin {
namespace {

using testing::Dbf;

const std::string kPage = std::string(VELORIN_SOURCE_DIR) + "/tools/velorin-dbf.1";

// The page's text with the roff escapes that matter here undone.
std::string PageText() {
  std::ifstream in(kPage);
  std::stringstream text;
  text << in.rdbuf();
  std::string page = std::regex_replace(text.str(), std::regex(R"(\\f[BIRP])"), "");
  page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
  return std::regex_replace(page, std::regex(R"(\\&)"), "");
}

// Each ".SS name" section's text, up to the next section or heading.
std::map<std::string, std::string> CommandSections(const std::string& page) {
  std::map<std::string, std::string> sections;
  std::istringstream lines(page);
  std::string line;
  std::string* current = nullptr;
  while (std::getline(lines, line)) {
    if (line.rfind(".SS ", 0) == 0) {
      current = &sections[line.substr(4)];
    } else if (line.rfind(".SH ", 0) == 0) {
      current = nullptr;
    } else if (current != nullptr) {
      *current += line + "\n";
    }
  }
  return sections;
}

// The first words of the lines of a help block ("Subcommands:", "Positionals:").
std::set<std::string> BlockNames(const std::string& help, const std::string& heading) {
  std::set<std::string> names;
  size_t start = help.find(heading + "\n");
  if (start == std::string::npos) return names;
  std::istringstream lines(help.substr(start + heading.size() + 1));
  std::string line;
  std::smatch match;
  while (std::getline(lines, line) && !line.empty()) {
    if (std::regex_search(line, match, std::regex(R"(^  ([A-Za-z]\S*))"))) names.insert(match[1]);
  }
  return names;
}

std::set<std::string> LongOptions(const std::string& text) {
  std::set<std::string> options;
  std::regex option(R"(--[a-z][a-z-]*)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
    if (it->str() != "--help") options.insert(it->str());
  }
  return options;
}

TEST(ManualPage, HasASectionForEveryCommandAndNoOther) {
  auto help = Dbf("--help");
  ASSERT_EQ(help.status, 0) << help.out;
  std::set<std::string> commands = BlockNames(help.out, "Subcommands:");
  ASSERT_GE(commands.size(), 11u) << help.out;
  std::set<std::string> described;
  for (const auto& [name, text] : CommandSections(PageText())) described.insert(name);
  EXPECT_EQ(described, commands);
}

TEST(ManualPage, EachSectionHasTheOptionsAndArgumentsOfItsCommand) {
  for (const auto& [name, section] : CommandSections(PageText())) {
    SCOPED_TRACE(name);
    auto help = Dbf(name + " --help");
    ASSERT_EQ(help.status, 0) << help.out;
    size_t options = help.out.find("Options:\n");
    ASSERT_NE(options, std::string::npos) << help.out;
    EXPECT_EQ(LongOptions(section), LongOptions(help.out.substr(options)));
    for (const std::string& argument : BlockNames(help.out, "Positionals:")) {
      EXPECT_TRUE(std::regex_search(section, std::regex("\\n\\.I " + argument + "\\n")))
          << "no entry for the argument " << argument;
    }
  }
}

TEST(ManualPage, RendersWithoutWarnings) {
  if (testing::RunCommand("command -v groff >/dev/null") != 0) GTEST_SKIP() << "groff is not installed";
  std::string warnings;
  EXPECT_EQ(testing::RunCommand("groff -man -Tutf8 -ww -z " + kPage + " 2>&1", &warnings), 0);
  EXPECT_EQ(warnings, "");
}

}  // namespace
}  // namespace velorin
