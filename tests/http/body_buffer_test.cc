#include "http/body_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "http/body_text.h"

namespace updater {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(BodyBufferTest, KeepsAZeroAfterTheBodyAsItGrows) {
  BodyBuffer buffer;
  EXPECT_FALSE(buffer.allocated());
  EXPECT_FALSE(buffer.Append(Bytes("x")));
  ASSERT_TRUE(buffer.Reset(0));
  const std::string chunk(BodyBuffer::kInitialCapacity - 1, 'a');
  ASSERT_TRUE(buffer.Append(Bytes(chunk)));
  EXPECT_EQ(buffer.data()[buffer.size()], 0);
  ASSERT_TRUE(buffer.Append(Bytes("tail")));
  EXPECT_EQ(buffer.size(), chunk.size() + 4);
  EXPECT_EQ(buffer.data()[buffer.size()], 0);
  EXPECT_EQ(std::string(buffer.bytes().begin() + chunk.size(), buffer.bytes().end()), "tail");

  ASSERT_TRUE(buffer.Reset(1 << 20));
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_EQ(buffer.data()[0], 0);
  buffer.Release();
  EXPECT_FALSE(buffer.allocated());
}

TEST(BodyTextTest, DecodesUtf8OrWindows1252UpToTheFirstZero) {
  const std::string bytes("\xE2\x82\xAC\x80<\xFF", 6);
  EXPECT_EQ(DecodeBodyText(Bytes(bytes), u"UTF-8"), u"\u20AC\uFFFD<\uFFFD");
  EXPECT_EQ(DecodeBodyText(Bytes(bytes), u"utf-8x"), u"\u20AC\uFFFD<\uFFFD");
  EXPECT_EQ(DecodeBodyText(Bytes(bytes), u"iso-8859-1"), u"\u00E2\u201A\u00AC\u20AC<\u00FF");
  EXPECT_EQ(DecodeBodyText(Bytes(std::string("ab\0cd", 5)), u""), u"ab");
}

}  // namespace
}  // namespace updater
