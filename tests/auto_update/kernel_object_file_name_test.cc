#include "auto_update/kernel_object_file_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace updater {
namespace {

TEST(KernelObjectFileNameTest, EscapesOnlyWhatAFileNameCannotHold) {
  EXPECT_EQ(KernelObjectFileName(u"Global\\rivazeriduv_updater_singleton"),
            "Global\\rivazeriduv_updater_singleton");
  EXPECT_EQ(KernelObjectFileName(u"Global\\c:!apps!brelix.exe_under_upgrade"),
            "Global\\c:!apps!brelix.exe_under_upgrade");
  EXPECT_EQ(KernelObjectFileName(u"a/b%c"), "a%2Fb%25c");
  EXPECT_EQ(KernelObjectFileName(u"."), "%2E");
  EXPECT_EQ(KernelObjectFileName(u".."), "%2E.");
  EXPECT_EQ(KernelObjectFileName(u"x.y"), "x.y");
  EXPECT_EQ(KernelObjectFileName(std::u16string(u"a\0b\n\x7F", 5)), "a%00b%0A%7F");
  EXPECT_EQ(KernelObjectFileName(u"Global\\d:!程序!é"), "Global\\d:!程序!é");
  EXPECT_EQ(KernelObjectFileName(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(KernelObjectFileName(u"a\xD800z\xDC01"), "a%uD800z%uDC01");
  EXPECT_EQ(KernelObjectFileName(u""), "");
}

TEST(KernelObjectFileNameTest, DifferentNamesGiveDifferentFileNames) {
  // Each pair could meet under a careless escaping.
  const std::u16string names[] = {u"%2F", u"/",  u"%",      u"%25",   u".",
                                  u"%2E", u"a.", u"\xD800", u"%uD800"};
  std::set<std::string> file_names;
  for (const std::u16string& name : names) {
    file_names.insert(KernelObjectFileName(name));
  }
  EXPECT_EQ(file_names.size(), std::size(names));
}

TEST(KernelObjectFileNameTest, LongNamesFitAndStayApart) {
  std::set<std::string> file_names;
  for (const char16_t* filler : {u"a", u"程", u"/", u"\xD800"}) {
    for (size_t length = 200; length <= 1024; length += 41) {
      std::u16string name;
      for (size_t i = 0; i < length; ++i) {
        name += filler;
      }
      for (const char16_t last : {u'x', u'y'}) {
        const std::string file_name = KernelObjectFileName(name + last);
        EXPECT_LE(file_name.size(), kMaxKernelObjectFileNameLength);
        EXPECT_TRUE(file_names.insert(file_name).second) << file_name;
      }
    }
  }
  // A cut never splits a character or an escape.
  const std::string cut = KernelObjectFileName(std::u16string(300, u'程'));
  EXPECT_EQ(cut.find("%h"), cut.size() - 18);
  EXPECT_EQ(cut.substr(0, 3), "程");
  EXPECT_EQ((cut.size() - 18) % 3, 0u);
  const std::string escaped = KernelObjectFileName(u"x" + std::u16string(300, u'/'));
  EXPECT_EQ((escaped.find("%h") - 1) % 3, 0u);
}

}  // namespace
}  // namespace updater
