#include "base/string_util.h"

#include <gtest/gtest.h>

#include <string>

namespace updater {
namespace {

TEST(StringUtilTest, ConvertsBetweenUtf8AndUtf16) {
  const std::u16string text = u"a\u00e9\u4e2d\U0001F600";
  EXPECT_EQ(UTF16ToUTF8(text), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(UTF8ToUTF16(UTF16ToUTF8(text)), text);
  EXPECT_EQ(UTF8ToUTF16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(StringUtilTest, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(UTF8ToUTF16("\xFF"), u"\uFFFD");
  EXPECT_EQ(UTF8ToUTF16("a\xC3"), u"a\uFFFD");                                // truncated sequence
  EXPECT_EQ(UTF8ToUTF16("\xC0\xAF"), u"\uFFFD\uFFFD");                        // overlong "/"
  EXPECT_EQ(UTF8ToUTF16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");              // encoded surrogate
  EXPECT_EQ(UTF8ToUTF16("\xF4\x90\x80\x80x"), u"\uFFFD\uFFFD\uFFFD\uFFFDx");  // above U+10FFFF
  EXPECT_EQ(UTF16ToUTF8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
  EXPECT_EQ(UTF16ToUTF8(std::u16string{char16_t{0xDC00}, u'a'}),
            "\xEF\xBF\xBD"
            "a");
}

TEST(StringUtilTest, TrimsTheUnicodeWhiteSpace) {
  EXPECT_EQ(TrimWhitespace(u"\t\n\v\f\r \u0085\u00a0x y\u1680\u2000\u200a\u2028\u2029\u202f"
                           u"\u205f\u3000"),
            u"x y");
  EXPECT_EQ(TrimWhitespace(u"\u200bx"), u"\u200bx");  // zero width space is not white space
  EXPECT_EQ(TrimWhitespace(u" \u3000 "), u"");
}

TEST(StringUtilTest, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(ToLowerASCII(u"AZaz@[\u00c9"), u"azaz@[\u00c9");
  EXPECT_TRUE(EqualsCaseInsensitiveASCII("ZH-cn", "zh-CN"));
  EXPECT_FALSE(EqualsCaseInsensitiveASCII("zh", "zh-CN"));
  EXPECT_TRUE(IsStringASCII(u"\x7f"));
  EXPECT_FALSE(IsStringASCII(u"\x80"));
}

}  // namespace
}  // namespace updater
