#ifndef TESTS_E2E_E2E_EXPECTATIONS_H_
#define TESTS_E2E_E2E_EXPECTATIONS_H_

// Expectations of the e2e suites, on Linux and under wine.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/e2e/e2e_harness.h"

namespace updater::e2e {

// "RivaZeriduv Updater: " + text, as the updater's own messages begin.
inline std::string UpdaterMessage(const std::string& text) {
  return "RivaZeriduv Updater: " + text;
}

// The updater's own log line: "[MMDD/HHMMSS:ERROR:kr_auto_update.cc(<line>)] <message>".
inline ::testing::Matcher<std::string> HasLogLine(int line, const std::string& message) {
  std::string escaped;
  for (char c : message) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return ::testing::ContainsRegex("\\[[0-9]{4}/[0-9]{6}:ERROR:kr_auto_update\\.cc\\(" +
                                  std::to_string(line) + "\\)\\] " + escaped + "\n");
}

// The requests of a portable run told of nothing newer: one GET of the
// browser's query that accepts anything, from the updater's user agent.
inline void ExpectOnePortableQuery(const std::vector<test_support::RecordedRequest>& requests) {
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, BrowserQuery("&langid=ru&portable"));
  EXPECT_EQ(requests[0].Header("Accept"), "*/*");
  EXPECT_EQ(requests[0].CountHeader("Accept"), 1);
  EXPECT_EQ(requests[0].Header("User-Agent"), "WinHttpClient");
}

// The locale files of StandardPackage() in place, and "locales/de.pak"
// ("old german"), which the package does not name, kept.
inline void ExpectStandardPackageLocales(const ScratchInstallation& install) {
  const std::string locales = install.install_dir() + "/locales/";
  EXPECT_EQ(ReadFileBytes(locales + "en.pak"), "new english");
  EXPECT_EQ(ReadFileBytes(locales + "de.pak"), "old german");
  EXPECT_EQ(ReadFileBytes(locales + "extra/ru.pak"), "new russian");
}

// What a portable update with StandardPackage() leaves when the browser,
// whose executable had inode `browser_inode`, was not running: the package
// in place and the old executable under a second name (never moved away).
inline void ExpectStandardPackageSwappedIn(const ScratchInstallation& install,
                                           ino_t browser_inode) {
  const std::string installed = install.install_dir() + "/";
  ExpectStandardPackageLocales(install);
  EXPECT_EQ(ReadFileBytes(installed + "brelix.exe"), "new browser");
  EXPECT_EQ(ReadFileBytes(installed + "old_brelix.exe"), "old browser");
  EXPECT_FALSE(Exists(installed + "new_brelix.exe"));
  EXPECT_EQ(ReadFileBytes(installed + "56.0.0.1/core.dll"), "new core");
  EXPECT_TRUE(Exists(install.updater()));
  struct stat old;
  ASSERT_EQ(stat((installed + "old_brelix.exe").c_str(), &old), 0);
  EXPECT_EQ(old.st_ino, browser_inode);
}

}  // namespace updater::e2e

#endif  // TESTS_E2E_E2E_EXPECTATIONS_H_
