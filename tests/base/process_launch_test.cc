#include "base/process_launch.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/file_operations.h"
#include "base/string_util.h"
#include "tests/base/temp_tree.h"

namespace updater {
namespace {

struct ProbeReport {
  std::vector<std::string> arguments;
  std::string directory;
  std::string value;
  std::vector<int> descriptors;
  bool complete = false;
};

ProbeReport ParseReport(const std::string& raw) {
  ProbeReport report;
  size_t begin = 0;
  for (size_t end = raw.find('\0'); end != std::string::npos; end = raw.find('\0', begin)) {
    const std::string record = raw.substr(begin, end - begin);
    begin = end + 1;
    if (record == "END") {
      report.complete = true;
    } else if (record[0] == 'A') {
      report.arguments.push_back(record.substr(1));
    } else if (record[0] == 'C') {
      report.directory = record.substr(1);
    } else if (record[0] == 'E') {
      report.value = record.substr(1);
    } else if (record[0] == 'F') {
      report.descriptors.push_back(std::stoi(record.substr(1)));
    }
  }
  return report;
}

// Runs the launch with the standard output sent to a file, then reads what
// the child wrote there.
class ProcessLaunchTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tree_.ok()); }

  ProcessHandle LaunchCapturing(const ParsedCommandLine& command_line, bool wait) {
    fflush(stdout);
    const int saved = dup(1);
    const int out = open(tree_.Native("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    close(out);
    ProcessHandle process = LaunchProcess(command_line, LaunchOptions{.wait = wait});
    const int launch_error = errno;
    dup2(saved, 1);
    close(saved);
    errno = launch_error;
    return process;
  }

  ProbeReport Report() const { return ParseReport(ReadContents(tree_.Native("out"))); }

  TempTree tree_;
};

TEST_F(ProcessLaunchTest, ChildGetsExactlyTheItemsAdded) {
  // A program path with a blank, a backslash, a quotation mark and "=".
  tree_.MakeDir("dir with\" blank=");
  const std::string program = tree_.Native("dir with\" blank=/pro\\be");
  ASSERT_TRUE(CopyOneFile(FsPath(UTF8ToUTF16(UPDATER_LAUNCH_PROBE)), FsPath(UTF8ToUTF16(program))));

  ParsedCommandLine command_line(UTF8ToUTF16(program));
  command_line.AddSwitch("mode", u"v a l\\");
  const std::vector<std::string> arguments = {"plain",
                                              "with blank",
                                              "quote\"inside",
                                              "trail\\",
                                              "trail two\\\\",
                                              "\\\\server\\share\\",
                                              "tab\there",
                                              "  lead",
                                              "a\"b c\\\"d",
                                              "\xc3\xbcn\xc3\xaf",
                                              "--like-a-switch=a b",
                                              "-d\"/t=mp/a\"b\\\"",
                                              ""};
  for (const std::string& argument : arguments) command_line.AddArgument(argument);

  ProcessHandle process = LaunchCapturing(command_line, true);
  ASSERT_TRUE(process.IsValid()) << "errno " << errno;
  const ProbeReport report = Report();
  ASSERT_TRUE(report.complete);
  std::vector<std::string> expected = {program, "--mode=v a l\\"};
  expected.insert(expected.end(), arguments.begin(), arguments.end());
  EXPECT_EQ(report.arguments, expected);
}

TEST_F(ProcessLaunchTest, InheritsEnvironmentAndDirectoryButNoDescriptors) {
  const int file = open(tree_.Native("open_file").c_str(), O_WRONLY | O_CREAT, 0644);
  int pipe_ends[2];
  ASSERT_GE(file, 0);
  ASSERT_EQ(pipe(pipe_ends), 0);  // deliberately without close-on-exec
  setenv("UPDATER_PROBE_VALUE", "inherited value", 1);
  char saved_directory[4096];
  ASSERT_NE(getcwd(saved_directory, sizeof(saved_directory)), nullptr);
  ASSERT_EQ(chdir(tree_.root().c_str()), 0);

  ProcessHandle process =
      LaunchCapturing(ParsedCommandLine(UTF8ToUTF16(UPDATER_LAUNCH_PROBE)), true);

  ASSERT_EQ(chdir(saved_directory), 0);
  unsetenv("UPDATER_PROBE_VALUE");
  close(file);
  close(pipe_ends[0]);
  close(pipe_ends[1]);
  ASSERT_TRUE(process.IsValid());
  const ProbeReport report = Report();
  ASSERT_TRUE(report.complete);
  EXPECT_EQ(report.value, "inherited value");
  EXPECT_EQ(report.directory, tree_.root());
  for (const int descriptor : report.descriptors) EXPECT_LE(descriptor, 2);
}

TEST_F(ProcessLaunchTest, WaitReturnsAfterTheChildEndedWhateverItsExitCode) {
  setenv("UPDATER_PROBE_DELAY_MS", "300", 1);
  setenv("UPDATER_PROBE_EXIT_CODE", "7", 1);
  ProcessHandle waited =
      LaunchCapturing(ParsedCommandLine(UTF8ToUTF16(UPDATER_LAUNCH_PROBE)), true);
  EXPECT_TRUE(waited.IsValid());
  EXPECT_TRUE(Report().complete);

  ProcessHandle later =
      LaunchCapturing(ParsedCommandLine(UTF8ToUTF16(UPDATER_LAUNCH_PROBE)), false);
  ASSERT_TRUE(later.IsValid());
  later.Wait();
  EXPECT_TRUE(Report().complete);

  // Released while still running: the child goes on and is reaped later.
  ProcessHandle abandoned =
      LaunchCapturing(ParsedCommandLine(UTF8ToUTF16(UPDATER_LAUNCH_PROBE)), false);
  EXPECT_TRUE(abandoned.IsValid());
  ProcessHandle moved = std::move(abandoned);
  EXPECT_FALSE(abandoned.IsValid());
  EXPECT_TRUE(moved.IsValid());
  unsetenv("UPDATER_PROBE_DELAY_MS");
  unsetenv("UPDATER_PROBE_EXIT_CODE");
}

TEST_F(ProcessLaunchTest, FailedStartsGiveAnInvalidHandleAndTheReason) {
  errno = 0;
  EXPECT_FALSE(LaunchProcess(ParsedCommandLine(u"/nonexistent/program"), {}).IsValid());
  EXPECT_EQ(errno, ENOENT);

  tree_.Write("not_executable", "data");
  EXPECT_FALSE(
      LaunchProcess(ParsedCommandLine(tree_.Path("not_executable").value()), {}).IsValid());
  EXPECT_EQ(errno, EACCES);

  tree_.Write("not_a_program", "\x01\x02garbage");
  chmod(tree_.Native("not_a_program").c_str(), 0755);
  EXPECT_FALSE(LaunchProcess(ParsedCommandLine(tree_.Path("not_a_program").value()), {}).IsValid());
  EXPECT_EQ(errno, ENOEXEC);

  EXPECT_FALSE(LaunchProcess(ParsedCommandLine(u""), {}).IsValid());
  EXPECT_EQ(errno, ENOENT);

  // A lone surrogate has no native form; the program named by the
  // replacement character a lossy conversion would put there never runs.
  tree_.Write("\xEF\xBF\xBD", "#!/bin/sh\n");
  chmod(tree_.Native("\xEF\xBF\xBD").c_str(), 0755);
  const std::u16string lone_surrogate = tree_.Path().value() + u"/\xD800";
  EXPECT_FALSE(LaunchProcess(ParsedCommandLine(lone_surrogate), {.wait = true}).IsValid());
  EXPECT_EQ(errno, EINVAL);
}

}  // namespace
}  // namespace updater
