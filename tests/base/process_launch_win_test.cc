#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/command_string_split.h"
#include "base/last_error_platform.h"
#include "base/path_arithmetic.h"
#include "base/process_facts_platform.h"
#include "base/process_launch.h"
#include "base/string_util.h"
#include "tests/base/win_temp_tree.h"

namespace updater {
namespace {

std::wstring Wide(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

// launch_probe.exe, built beside this program.
std::wstring ProbePath() {
  return Wide(JoinPath(ParentDir(platform::ReadExecutablePath()), u"launch_probe.exe").value());
}

class ProcessLaunchWinTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tree_.ok());
    SetEnvironmentVariableW(L"UPDATER_PROBE_OUTPUT", tree_.Native(L"out").c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"UPDATER_PROBE_OUTPUT", nullptr);
    SetEnvironmentVariableW(L"UPDATER_PROBE_DELAY_MS", nullptr);
    SetEnvironmentVariableW(L"UPDATER_PROBE_EXIT_CODE", nullptr);
  }

  // The arguments the probe reported, or nothing when its report is missing
  // or incomplete.
  std::vector<std::string> ReportedArguments() const {
    const std::string raw = tree_.Read(L"out");
    std::vector<std::string> arguments;
    size_t begin = 0;
    for (size_t end = raw.find('\0'); end != std::string::npos; end = raw.find('\0', begin)) {
      const std::string record = raw.substr(begin, end - begin);
      begin = end + 1;
      if (record == "END") return arguments;
      if (record[0] == 'A') arguments.push_back(record.substr(1));
    }
    return {};
  }

  WinTempTree tree_;
};

// The one command string reaches the child, which splits it back into the
// very items that were added.
TEST_F(ProcessLaunchWinTest, ChildGetsExactlyTheItemsAdded) {
  ASSERT_TRUE(CreateDirectoryW(tree_.Native(L"dir with blank").c_str(), nullptr));
  const std::wstring copy_target = tree_.Native(L"dir with blank\\probe.exe");
  ASSERT_TRUE(CopyFileW(ProbePath().c_str(), copy_target.c_str(), FALSE));
  const std::vector<std::string> arguments = {
      "-s",         "plain",         "with blank",
      "tab\there",  "quote\"inside", "trailing\\",
      "two\\\\\"q", "\\\\srv\\a\\",  "caf\xC3\xA9 \xE2\x82\xAC",
      "--x=a b"};
  ParsedCommandLine command_line(std::u16string(copy_target.begin(), copy_target.end()));
  for (const std::string& argument : arguments) command_line.AddArgument(argument);
  ASSERT_TRUE(LaunchProcess(command_line, LaunchOptions{.wait = true}).IsValid());
  std::vector<std::string> expected = {UTF16ToUTF8(command_line.program())};
  expected.insert(expected.end(), arguments.begin(), arguments.end());
  EXPECT_EQ(ReportedArguments(), expected);
}

TEST_F(ProcessLaunchWinTest, WaitsForTheEndWhateverTheExitCode) {
  SetEnvironmentVariableW(L"UPDATER_PROBE_DELAY_MS", L"300");
  SetEnvironmentVariableW(L"UPDATER_PROBE_EXIT_CODE", L"7");
  const std::wstring probe = ProbePath();
  const ParsedCommandLine command_line(std::u16string(probe.begin(), probe.end()));
  EXPECT_TRUE(LaunchProcess(command_line, LaunchOptions{.wait = true}).IsValid());
  EXPECT_FALSE(ReportedArguments().empty());
}

TEST_F(ProcessLaunchWinTest, FailedStartsTellWhy) {
  const ParsedCommandLine missing(tree_.Path(L"missing.exe").value());
  EXPECT_FALSE(LaunchProcess(missing, LaunchOptions{.wait = true}).IsValid());
  EXPECT_EQ(platform::LastError(), ERROR_FILE_NOT_FOUND);
  tree_.Write(L"text.exe", "not a program");
  const ParsedCommandLine text(tree_.Path(L"text.exe").value());
  EXPECT_FALSE(LaunchProcess(text, LaunchOptions{.wait = true}).IsValid());
  EXPECT_EQ(platform::LastError(), ERROR_BAD_EXE_FORMAT);
}

// The system's splitting of this process's own command string agrees with
// the updater's own splitter, and names this program first.
TEST(ProcessArgumentsWinTest, SplitsTheCommandStringByTheSystemRules) {
  const std::vector<std::u16string> arguments = platform::CurrentProcessArguments();
  ASSERT_FALSE(arguments.empty());
  const wchar_t* command = GetCommandLineW();
  EXPECT_EQ(arguments,
            SplitCommandString(TrimWhitespace(std::u16string(command, command + wcslen(command)))));
  EXPECT_EQ(LastComponent(FsPath(arguments.front())),
            LastComponent(platform::ReadExecutablePath()));
}

}  // namespace
}  // namespace updater
