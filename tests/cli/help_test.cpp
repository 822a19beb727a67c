// The command table is the whole truth about ripmarrow's command line: every
// option a command's parser takes stands in it, and every command and option
// in it stands in `ripmarrow --help`, in `ripmarrow help COMMAND` and in the
// manual page.
#include "ripmarrow/command_table.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <cctype>
#include <set>
#include <vector>

#include "tests/cli/program_run.h"

namespace {

namespace fs = std::filesystem;
using cli_testing::readFile;

class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_help.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    fs::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }
  cli_testing::Result ripmarrow(const std::string& arguments) { return cli_testing::runRipmarrow(home_, arguments); }
  std::string home_;
};

// Every option name the table holds, the drive options included.
std::set<std::string> tableOptions() {
  std::set<std::string> names;
  for (const auto& option : ripmarrow::driveOptions()) names.insert(std::string(option.name));
  for (const auto& command : ripmarrow::commandTable()) {
    for (const auto& option : command.options) names.insert(std::string(option.name));
  }
  return names;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The manual page as text: roff's escaped hyphens and font changes undone.
std::string manText() {
  std::string text = readFile(RIPMARROW_MAN_PAGE);
  replaceAll(text, "\\-", "-");
  for (const char* font : {"\\fB", "\\fI", "\\fR", "\\fP"}) replaceAll(text, font, "");
  return text;
}

// A command's entry in the manual page: a line ".B name", ".BI name ..." or ".BR name ...".
bool manHasCommand(const std::string& man, const std::string& name) {
  for (const char* macro : {"\n.B ", "\n.BI ", "\n.BR "}) {
    const std::string head = macro + name;
    for (size_t at = man.find(head); at != std::string::npos; at = man.find(head, at + 1)) {
      const size_t after = at + head.size();
      if (after < man.size() && (man[after] == ' ' || man[after] == '\n')) return true;
    }
  }
  return false;
}

// The "--name" string literals of a source file.
std::vector<std::string> optionLiterals(const std::string& source) {
  std::vector<std::string> names;
  for (size_t at = source.find("\"--"); at != std::string::npos; at = source.find("\"--", at + 1)) {
    size_t end = at + 3;
    while (end < source.size() && (std::islower(static_cast<unsigned char>(source[end])) ||
                                   std::isdigit(static_cast<unsigned char>(source[end])) || source[end] == '-'))
      ++end;
    if (end > at + 3) names.push_back(source.substr(at + 1, end - at - 1));
  }
  return names;
}

TEST_F(HelpTest, EveryOptionTheParsersTakeIsInTheTable) {
  // The parsers compare arguments with string literals: every "--name" in
  // the client's sources must be a command's option (or --help).
  const std::set<std::string> known = tableOptions();
  size_t seen = 0;
  for (const auto& entry : fs::directory_iterator(RIPMARROW_CLIENT_SOURCES)) {
    if (entry.path().extension() != ".cpp") continue;
    for (const std::string& name : optionLiterals(readFile(entry.path().string()))) {
      if (name == "--help") continue;
      ++seen;
      EXPECT_TRUE(known.count(name) != 0) << name << " in " << entry.path().filename() << " is not in the table";
    }
  }
  EXPECT_GT(seen, 20u);
}

TEST_F(HelpTest, HelpAndTheManualPageListEveryCommandAndOption) {
  const cli_testing::Result help = ripmarrow("--help");
  ASSERT_EQ(help.status, 0) << help.err;
  const std::string man = manText();
  for (const auto& command : ripmarrow::commandTable()) {
    const std::string name(command.name);
    EXPECT_NE(help.out.find("\n  " + name + " "), std::string::npos) << name;
    EXPECT_TRUE(manHasCommand(man, name)) << name << " not in the manual page";
    const cli_testing::Result one = ripmarrow("help " + name);
    ASSERT_EQ(one.status, 0) << name << one.err;
    EXPECT_EQ(ripmarrow(name + " --help").out, one.out) << name;
    for (const auto& option : command.options) {
      const std::string optionName(option.name);
      EXPECT_NE(help.out.find(optionName), std::string::npos) << name << " " << optionName;
      EXPECT_NE(one.out.find(optionName), std::string::npos) << name << " " << optionName;
      EXPECT_NE(man.find(optionName), std::string::npos) << name << " " << optionName << " not in the manual page";
    }
  }
  for (const auto& option : ripmarrow::driveOptions()) {
    EXPECT_NE(help.out.find(std::string(option.name)), std::string::npos);
    EXPECT_NE(man.find(std::string(option.name)), std::string::npos);
  }
}

TEST_F(HelpTest, UnknownCommandsAndOptionsAreRefused) {
  for (const char* arguments : {"", "rap", "help rap", "rip --save", "verify --tracks 1 folder", "info --source local",
                                "offset --offset 3 show"}) {
    const cli_testing::Result run = ripmarrow(arguments);
    EXPECT_EQ(run.status, 2) << arguments << run.out;
    EXPECT_FALSE(run.err.empty()) << arguments;
  }
}

}  // namespace
