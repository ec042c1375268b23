#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/logging.h"
#include "base/path_arithmetic.h"
#include "base/process_facts_platform.h"
#include "base/string_util.h"

namespace updater {
namespace {

std::string ReadLog(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Lines go to debug.log beside the executable, after what is there already,
// and the last error survives each statement.
TEST(LoggingWinTest, AppendsBesideTheExecutableAndKeepsTheLastError) {
  const std::u16string log =
      JoinPath(ParentDir(platform::ReadExecutablePath()), u"debug.log").value();
  const std::filesystem::path path(std::wstring(log.begin(), log.end()));
  std::ofstream(path, std::ios::binary | std::ios::app) << "earlier\n";
  const std::string before = ReadLog(path);
  SetLastError(1223);
  UPDATER_LOG_AT(365, ERROR) << "RivaZeriduv Updater: installer failed  to start last error="
                             << std::hex << 1223;
  EXPECT_EQ(GetLastError(), 1223u);
  LOG(INFO) << u"caf\u00e9";
  const std::string after = ReadLog(path);
  ASSERT_GT(after.size(), before.size());
  EXPECT_EQ(after.substr(0, before.size()), before);
  const std::string added = after.substr(before.size());
  EXPECT_NE(added.find(":ERROR:kr_auto_update.cc(365)] RivaZeriduv Updater: installer failed  to "
                       "start last error=4c7\n"),
            std::string::npos);
  EXPECT_NE(added.find("] caf\xC3\xA9\n"), std::string::npos);
}

}  // namespace
}  // namespace updater
