#include "url/download_file_name.h"

#include <gtest/gtest.h>

#include "base/string_util.h"
#include "url/url_input.h"

namespace updater {
namespace {

std::string NameOf(std::string_view utf8_url) {
  return DownloadFileName(UTF8ToUTF16(utf8_url));
}

TEST(DownloadFileNameTest, TakesTheLastPathSegment) {
  EXPECT_EQ(NameOf("https://dl.example.com/files/setup.exe?x=1&y=/a.exe#frag/b.exe"), "setup.exe");
  EXPECT_EQ(NameOf("https://dl.example.com/setup.exe"), "setup.exe");
  EXPECT_EQ(NameOf("http://h:8080/a/b/c/Setup-56.0.1.exe"), "Setup-56.0.1.exe");
  EXPECT_EQ(NameOf("ftp://h/pub/setup.exe"), "setup.exe");
  EXPECT_EQ(NameOf("file:///C:/dl/setup.exe"), "setup.exe");
}

TEST(DownloadFileNameTest, DropsSemicolonParameters) {
  EXPECT_EQ(NameOf("http://h/files/setup.exe;jsessionid=42"), "setup.exe");
  EXPECT_EQ(NameOf("http://h/a;b/setup.exe;x;y"), "setup.exe");
  EXPECT_EQ(NameOf("http://h/files/;setup.exe"), "");
}

TEST(DownloadFileNameTest, PathsEndingInASlashHaveNoName) {
  EXPECT_EQ(NameOf("http://h/files/"), "");
  EXPECT_EQ(NameOf("http://h/"), "");
  EXPECT_EQ(NameOf("http://h"), "");
  EXPECT_EQ(NameOf("http://h?setup.exe"), "");
  EXPECT_EQ(NameOf("http://h/files\\"), "");
  EXPECT_EQ(NameOf("foo://h"), "");
}

TEST(DownloadFileNameTest, KeepsEscapesAndEscapesWhatNeedsIt) {
  EXPECT_EQ(NameOf("http://h/My%20Setup.exe"), "My%20Setup.exe");
  EXPECT_EQ(NameOf("http://h/My Setup.exe"), "My%20Setup.exe");
  EXPECT_EQ(NameOf("http://h/Setup-\xC3\xBC.exe"), "Setup-%C3%BC.exe");
  EXPECT_EQ(DownloadFileName(u"http://h/\x0423\x0441\x0442.exe"), "%D0%A3%D1%81%D1%82.exe");
  EXPECT_EQ(NameOf("http://h/a%2Fb.exe"), "a%2Fb.exe");
  EXPECT_EQ(NameOf("http://h/a%5Cb.exe"), "a%5Cb.exe");
  EXPECT_EQ(NameOf("http://h/{x}\"<>`.exe"), "%7Bx%7D%22%3C%3E%60.exe");
}

TEST(DownloadFileNameTest, BackslashesAndDotSegmentsAreResolvedFirst) {
  EXPECT_EQ(NameOf("http://h\\files\\setup.exe"), "setup.exe");
  EXPECT_EQ(NameOf("http://h/a/../setup.exe"), "setup.exe");
  EXPECT_EQ(NameOf("http://h/a/%2e%2e/setup.exe"), "setup.exe");
  EXPECT_EQ(NameOf("http://h/a/.%2E/setup.exe"), "setup.exe");
  EXPECT_EQ(NameOf("http://h/setup.exe/."), "");
  EXPECT_EQ(NameOf("http://h/setup.exe/.."), "");
  EXPECT_EQ(NameOf("http://h/setup.exe/%2e%2e"), "");
  EXPECT_EQ(NameOf("http://h/setup.exe\\%2E"), "");
}

TEST(DownloadFileNameTest, InternationalHostsDoNotDisturbTheName) {
  EXPECT_EQ(NameOf("https://b\xC3\xBC"
                   "cher.example/setup.exe"),
            "setup.exe");
  EXPECT_EQ(NameOf("https://\xEF\xBD\x85\xEF\xBD\x98.com/setup.exe"), "setup.exe");
}

TEST(DownloadFileNameTest, InvalidUrlsHaveNoName) {
  EXPECT_EQ(NameOf("setup.exe"), "");
  EXPECT_EQ(NameOf("/files/setup.exe"), "");
  EXPECT_EQ(NameOf("//h/files/setup.exe"), "");
  EXPECT_EQ(NameOf("dl.example.com/setup.exe"), "");
  EXPECT_EQ(NameOf("http://a b/setup.exe"), "");
  EXPECT_EQ(NameOf("http://a%2F/setup.exe"), "");
  EXPECT_EQ(NameOf("http://1.2.3.999/setup.exe"), "");
  EXPECT_EQ(NameOf("http://[::1/setup.exe"), "");
  EXPECT_EQ(NameOf("http://h:65536/setup.exe"), "");
  EXPECT_EQ(NameOf("http://#/setup.exe"), "");
}

TEST(DownloadFileNameTest, NeverGivesASeparatorOrADotName) {
  // ";" cuts after dot segments were resolved, so it could leave "." or "..".
  EXPECT_EQ(NameOf("http://h/a/..;x"), "");
  EXPECT_EQ(NameOf("http://h/a/.;x"), "");
  EXPECT_EQ(NameOf("http://h/;"), "");
  // Other schemes keep "\" and dot segments that special ones resolve.
  EXPECT_EQ(NameOf("foo://h/a\\b.exe"), "b.exe");
  EXPECT_EQ(NameOf("foo://h/a\\.."), "");
  EXPECT_EQ(NameOf("foo:.."), "");
  EXPECT_EQ(NameOf("foo:."), "");
  EXPECT_EQ(NameOf("foo:a\\"), "");
  EXPECT_EQ(NameOf("foo:setup.exe"), "setup.exe");
  // A NUL anywhere arrives escaped, and escaped controls are refused.
  EXPECT_EQ(DownloadFileName(std::u16string(u"http://h/a\0b.exe", 16)), "");
  EXPECT_EQ(NameOf("http://h/a%00b.exe"), "");
  EXPECT_EQ(NameOf("http://h/a%1fb.exe"), "");
  EXPECT_EQ(NameOf("http://h/a%7Fb.exe"), "");
  EXPECT_EQ(NameOf("http://h/a\x7F"
                   "b.exe"),
            "");
  EXPECT_EQ(NameOf("http://h/a%20b%2e.exe"), "a%20b%2e.exe");
}

TEST(DownloadFileNameTest, PatternsAndNamesWindowsCannotHoldHaveNone) {
  for (const char* url : {"http://h/*", "http://h/files/*.exe", "http://h/set%3Fp.exe/*",
                          "http://h/a:b.exe", "http://h/a|b.exe", "http://h/setup.exe.",
                          "http://h/...", "http://h/CON", "http://h/con.exe", "http://h/Nul.tar.gz",
                          "http://h/lpt9.exe", "http://h/COM1", "http://h/conin$", "foo:a*b"}) {
    EXPECT_EQ(NameOf(url), "") << url;
  }
  // Near misses stay usable; escaped forms are kept escaped and harmless.
  for (const auto& [url, name] :
       {std::pair{"http://h/console.exe", "console.exe"}, std::pair{"http://h/com10", "com10"},
        std::pair{"http://h/lpt0.exe", "lpt0.exe"}, std::pair{"http://h/.profile", ".profile"},
        std::pair{"http://h/a%2A.exe", "a%2A.exe"}, std::pair{"http://h/a%7C.exe", "a%7C.exe"},
        std::pair{"http://h/setup%2E", "setup%2E"}, std::pair{"http://h/a$b.exe", "a$b.exe"},
        std::pair{"http://h/setup.exe%20", "setup.exe%20"}, std::pair{"http://h/set?p.exe", "set"},
        std::pair{"foo:a\tb", "ab"}}) {
    EXPECT_EQ(NameOf(url), name) << url;
  }
}

TEST(DownloadFileNameTest, HostileInputHasNoName) {
  EXPECT_EQ(DownloadFileName(u"http://h/\xD800setup.exe"), "");
  EXPECT_EQ(DownloadFileName(u"http://h/setup.exe\xDFFF"), "");
  EXPECT_EQ(DownloadFileName(u"http://h/\x0001\x0002setup.exe"), "");
  EXPECT_EQ(DownloadFileName(u"http://h\x0001/setup.exe"), "");

  std::u16string huge = u"http://h/";
  huge.append(3 * 1024 * 1024, u'a');
  EXPECT_EQ(DownloadFileName(huge + u"/setup.exe"), "");

  std::u16string all_units = u"http://h/";
  for (char32_t unit = 0; unit < 0x10000; ++unit) all_units += static_cast<char16_t>(unit);
  EXPECT_EQ(DownloadFileName(all_units), "");
}

}  // namespace
}  // namespace updater
