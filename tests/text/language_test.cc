#include "text/language.h"

#include <gtest/gtest.h>

namespace updater {
namespace {

TEST(LanguageTest, TagsMatchWholeIgnoringAsciiCase) {
  const std::pair<const char*, int> cases[] = {
      {"zh-CN", 1}, {"ZH-cn", 1}, {"Zh-Tw", 2},  {"RU", 3},    {"de", 4},    {"fr", 5},
      {"JA", 6},    {"pl", 7},    {"PT-br", 8},  {"el", 9},    {"", 0},      {"zh", 0},
      {"pt", 0},    {"en-US", 0}, {"zh-CN ", 0}, {"zh_CN", 0}, {"zh-CNx", 0}};
  for (const auto& [tag, index] : cases) EXPECT_EQ(LanguageIndexFromTag(tag), index) << tag;
  EXPECT_EQ(LanguageIndexFromTag(std::string_view("ru\0", 3)), 0);
}

}  // namespace
}  // namespace updater
