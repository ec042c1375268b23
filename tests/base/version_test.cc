#include "base/version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace updater {
namespace {

TEST(VersionTest, ParsesDottedDecimalNumbers) {
  EXPECT_EQ(ParseVersion("55.0.2883.87").components(), (std::vector<uint32_t>{55, 0, 2883, 87}));
  EXPECT_EQ(ParseVersion("4294967295").components(), std::vector<uint32_t>{4294967295u});
  EXPECT_EQ(ParseVersion("0.1").components(), (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(ParseVersion("1.002").components(), (std::vector<uint32_t>{1, 2}));
  // Later pieces may carry any number of leading zeros.
  EXPECT_EQ(ParseVersion("1.000000000000000000000004294967295").components(),
            (std::vector<uint32_t>{1, 4294967295u}));
  EXPECT_EQ(ParseVersion("0").components(), std::vector<uint32_t>{0});
}

TEST(VersionTest, RejectsEverythingElse) {
  const std::string invalid[] = {"",
                                 ".",
                                 "1.",
                                 ".1",
                                 "1..2",
                                 "+1",
                                 "1.+2",
                                 "-1",
                                 "1.-2",
                                 " 1",
                                 "1 ",
                                 "1. 2",
                                 "1.2a",
                                 "01.2",
                                 "00",
                                 "4294967296",
                                 "1.4294967296",
                                 "99999999999999999999",
                                 "1,2",
                                 "\xEF\xBC\x91",
                                 std::string("1\0", 2),
                                 "0x10",
                                 "1e3"};
  for (const std::string& text : invalid) {
    EXPECT_FALSE(ParseVersion(text).IsValid()) << "'" << text << "'";
    EXPECT_TRUE(ParseVersion(text).components().empty());
  }
}

TEST(VersionTest, ComparesComponentsAsNumbersWithMissingOnesZero) {
  struct Case {
    const char* a;
    const char* b;
    int result;
  };
  const Case cases[] = {
      {"1.3.7.17", "1.3.7.18", -1}, {"1.3.7.17", "1.3.7.17.0", 0},
      {"1.3.7.17", "1.3.7", 1},     {"1.3.7.17", "1.4", -1},
      {"10.0", "9.9", 1},           {"55.0", "55.0.0.0", 0},
      {"55.0.0.1", "55.0", 1},      {"4294967295", "4294967294", 1},
      {"1.0", "1.0.0.0.0.0.1", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseVersion(c.a).CompareTo(ParseVersion(c.b)), c.result) << c.a << " vs " << c.b;
    EXPECT_EQ(ParseVersion(c.b).CompareTo(ParseVersion(c.a)), -c.result) << c.b << " vs " << c.a;
  }
}

TEST(VersionTest, InvalidVersionsCompareAsZero) {
  const Version invalid = ParseVersion("garbage");
  EXPECT_EQ(invalid.CompareTo(ParseVersion("1.0")), -1);  // an update is offered
  EXPECT_EQ(invalid.CompareTo(ParseVersion("0.0")), 0);
  EXPECT_EQ(invalid.CompareTo(invalid), 0);
  EXPECT_EQ(ParseVersion("1.0").CompareTo(invalid), 1);  // never counts as newer
  EXPECT_EQ(ParseVersion("0").CompareTo(invalid), 0);
}

}  // namespace
}  // namespace updater
