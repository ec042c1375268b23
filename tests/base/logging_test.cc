#include "base/logging.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/process_facts_platform.h"
#include "base/string_util.h"
#include "tests/support/test_files.h"

namespace updater {
namespace {

namespace fs = std::filesystem;

using test_support::ReadFileBytes;

struct RunResult {
  int exit_code;
  std::string output;  // stdout and stderr
};

RunResult RunIn(const fs::path& directory, const std::string& command) {
  const std::string line = "cd '" + directory.string() + "' && " + command + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  std::string output;
  char buffer[256];
  while (size_t read = fread(buffer, 1, sizeof(buffer), pipe)) output.append(buffer, read);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// The shell command that runs `program` with one argument.
std::string CommandLine(const fs::path& program, const char* argument) {
  std::string command = "'";
  command += program.string();
  command += "' ";
  command += argument;
  return command;
}

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "logging_test.XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDirectory() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

constexpr char kExpectedTail[] =
    ":ERROR:kr_auto_update.cc(365)] RivaZeriduv Updater: installer failed  to start last "
    "error=4c7\n";

TEST(LoggingTest, FormatsTheFixedLineLayout) {
  const LogTime time{3, 7, 14, 29, 5};
  EXPECT_EQ(FormatLogLine(time, kLogERROR, "C:\\src\\kr_auto_update.cc", 365,
                          "RivaZeriduv Updater: installer failed  to start last error=2"),
            "[0307/142905:ERROR:kr_auto_update.cc(365)] RivaZeriduv Updater: installer failed  "
            "to start last error=2\n");
  EXPECT_EQ(FormatLogLine({12, 31, 0, 0, 0}, kLogINFO, "a/b/c.cc", 1, ""),
            "[1231/000000:INFO:c.cc(1)] \n");
  EXPECT_EQ(FormatLogLine(time, kLogWARNING, "w.cc", 2, "x"), "[0307/142905:WARNING:w.cc(2)] x\n");
  EXPECT_EQ(FormatLogLine(time, kLogFATAL, "f", 3, "x"), "[0307/142905:FATAL:f(3)] x\n");
  EXPECT_EQ(FormatLogLine(time, 4, "u", 4, "x"), "[0307/142905:UNKNOWN:u(4)] x\n");
  EXPECT_EQ(FormatLogLine(time, -1, "v", 271, "x"), "[0307/142905:VERBOSE1:v(271)] x\n");
}

TEST(LoggingTest, StreamsWideTextAsUtf8AndHexInLowerCase) {
  LogStream stream;
  stream << u"/tmp/\u00e9" << ' ' << std::hex << 1223 << ' ' << 0xABCDEF << ' ' << FsPath(u"p");
  EXPECT_EQ(stream.str(), "/tmp/\xC3\xA9 4c7 abcdef p");
}

TEST(LoggingTest, AppendsBesideTheExecutableAndKeepsErrno) {
  const std::string executable = UTF16ToUTF8(platform::ReadExecutablePath().value());
  const fs::path log_path = fs::path(executable).parent_path() / "debug.log";
  const std::string token = "token-" + std::to_string(getpid());
  int evaluated = 0;
  errno = 1223;
  LOG(WARNING) << "first " << token;
  VLOG(1) << "never " << ++evaluated;
  EXPECT_EQ(errno, 1223);
  LOG(INFO) << "second " << token;
  EXPECT_EQ(evaluated, 0);

  const std::string contents = ReadFileBytes(log_path);
  const size_t first = contents.find("first " + token + "\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(contents.find("second " + token + "\n", first), std::string::npos);
  EXPECT_EQ(contents.find("never"), std::string::npos);
}

TEST(LoggingTest, ProcessesAppendAndFallBackToTheCurrentDirectory) {
  ScratchDirectory program_directory;
  ScratchDirectory working_directory;
  const fs::path program = program_directory.path() / "log_writer";
  fs::copy_file(LOG_WRITER_PATH, program);

  for (int run = 0; run < 2; ++run) {
    const RunResult result = RunIn(working_directory.path(), CommandLine(program, "1223"));
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.output.find(kExpectedTail), std::string::npos) << "stderr copy";
    EXPECT_NE(result.output.find("errno=42"), std::string::npos) << "errno restored";
  }
  const std::string beside = ReadFileBytes(program_directory.path() / "debug.log");
  EXPECT_EQ(std::count(beside.begin(), beside.end(), '\n'), 2) << beside;
  EXPECT_EQ(beside.rfind(kExpectedTail), beside.size() - sizeof(kExpectedTail) + 1);
  EXPECT_EQ(beside.find("VERBOSE"), std::string::npos);
  EXPECT_FALSE(fs::exists(working_directory.path() / "debug.log"));

  // A "debug.log" that cannot be opened for appending (a directory, which
  // stops even root) sends the line to the current directory.
  fs::remove(program_directory.path() / "debug.log");
  fs::create_directory(program_directory.path() / "debug.log");
  EXPECT_EQ(RunIn(working_directory.path(), CommandLine(program, "5")).exit_code, 0);
  const std::string fallback = ReadFileBytes(working_directory.path() / "debug.log");
  EXPECT_NE(fallback.find("(365)] RivaZeriduv Updater: installer failed  to start last error=5\n"),
            std::string::npos);

  // Neither can be opened: the line is lost, the run is not. Links and FIFOs
  // planted under the name are never written through or waited on.
  fs::create_directory(working_directory.path() / "sub");
  fs::create_directory(working_directory.path() / "sub" / "debug.log");
  EXPECT_EQ(RunIn(working_directory.path() / "sub", CommandLine(program, "5")).exit_code, 0);
  const fs::path victim = working_directory.path() / "victim";
  std::ofstream(victim) << "kept";
  for (const fs::path& directory :
       {working_directory.path() / "link", working_directory.path() / "fifo"}) {
    fs::create_directory(directory);
    if (directory.filename() == "link") {
      fs::create_symlink(victim, directory / "debug.log");
    } else {
      ASSERT_EQ(mkfifo((directory / "debug.log").c_str(), 0600), 0);
    }
    EXPECT_EQ(RunIn(directory, CommandLine(program, "5")).exit_code, 0);
  }
  EXPECT_EQ(ReadFileBytes(victim), "kept");
}

}  // namespace
}  // namespace updater
