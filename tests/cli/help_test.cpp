// The command table is the whole truth about ripmarrow's command line: the
// parser takes what it declares, and every command and option in it stands
// in `ripmarrow --help`, in `ripmarrow help COMMAND` and in the manual page,
// whose synopsis is the table's own.
#include "ripmarrow/command_table.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
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

TEST_F(HelpTest, TheManualPagesSynopsisIsTheTables) {
  const std::string man = readFile(RIPMARROW_MAN_PAGE);
  const size_t start = man.find(".SH SYNOPSIS\n");
  ASSERT_NE(start, std::string::npos);
  const size_t end = man.find("\n.SH ", start);
  ASSERT_NE(end, std::string::npos);
  const std::string wanted = ripmarrow::manSynopsis();
  EXPECT_EQ(man.substr(start, end + 1 - start), wanted)
      << "ripmarrow.1's SYNOPSIS section is to read:\n----\n" << wanted << "----";
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
                                "offset --offset 3 show", "info --drive 0", "play --drive x 1"}) {
    const cli_testing::Result run = ripmarrow(arguments);
    EXPECT_EQ(run.status, 2) << arguments << run.out;
    EXPECT_FALSE(run.err.empty()) << arguments;
  }
}

TEST_F(HelpTest, RefusalsNameTheOptionAndPointAtTheCommandsHelp) {
  struct Case {
    std::string command;
    std::string arguments;
    std::string said;
  };
  for (const Case& c : {Case{"rip", "rip --save", "unknown option --save"},
                        Case{"rip", "--drive 1 rip --format", "--format needs a value: wav|mp3|mp2|ogg|wma|flac"},
                        Case{"rip", "--format aiff rip", "bad value for --format: 'aiff'"},
                        Case{"lookup", "lookup --server host:0", "bad value for --server: 'host:0'"},
                        Case{"verify", "verify --log x.log", "FOLDER is missing"},
                        Case{"offset", "offset set", "set needs the offset N"},
                        Case{"offset", "offset show --save", "--save goes with find"}}) {
    const cli_testing::Result run = ripmarrow(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_NE(run.err.find("ripmarrow " + c.command + ": " + c.said), std::string::npos) << c.arguments << "\n"
                                                                                          << run.err;
    EXPECT_NE(run.err.find("'ripmarrow " + c.command + " --help'"), std::string::npos) << run.err;
  }
}

}  // namespace
