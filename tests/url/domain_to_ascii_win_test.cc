// Host names on Windows: the system's ICU where it exists, else IdnToAscii,
// which applies the older transitional rules (wine has no icu.dll).
#include <windows.h>

#include <gtest/gtest.h>

#include "url/domain_to_ascii_platform.h"

namespace updater {
namespace {

bool SystemHasIcu() {
  const HMODULE icu = LoadLibraryExW(L"icu.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (icu) FreeLibrary(icu);
  return icu != nullptr;
}

TEST(DomainToAsciiWinTest, MapsByTheSystemsRules) {
  EXPECT_EQ(platform::DomainToASCII("Example.COM"), "example.com");
  EXPECT_EQ(platform::DomainToASCII("B\xC3\xBC"
                                    "cher.Example"),
            "xn--bcher-kva.example");
  EXPECT_EQ(platform::DomainToASCII(""), std::nullopt);
  EXPECT_EQ(platform::DomainToASCII("a\xE2\x80\xA8"
                                    "b.example"),
            std::nullopt)
      << "a line separator is disallowed";
  // Sharp s: kept by ICU's nontransitional processing, folded by IdnToAscii.
  EXPECT_EQ(platform::DomainToASCII("fa\xC3\x9F.de"), SystemHasIcu() ? "xn--fa-hia.de" : "fass.de");
}

}  // namespace
}  // namespace updater
