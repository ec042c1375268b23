#include "url/ip_address.h"

#include <gtest/gtest.h>

namespace updater {
namespace {

std::string IPv4(std::string_view host) {
  return CanonicalizeIPv4(host).value_or("invalid");
}

std::string IPv6(std::string_view address) {
  return CanonicalizeIPv6(address).value_or("invalid");
}

TEST(IpAddressTest, IPv4TakesEveryNumericForm) {
  EXPECT_EQ(IPv4("192.168.0.1"), "192.168.0.1");
  EXPECT_EQ(IPv4("0300.0250.0.01"), "192.168.0.1");
  EXPECT_EQ(IPv4("0xC0.0xa8.0x0.0x1"), "192.168.0.1");
  EXPECT_EQ(IPv4("192.168.1"), "192.168.0.1");
  EXPECT_EQ(IPv4("192.11010049"), "192.168.0.1");
  EXPECT_EQ(IPv4("3232235521"), "192.168.0.1");
  EXPECT_EQ(IPv4("0x"), "0.0.0.0");
  EXPECT_EQ(IPv4("255.255.255.255."), "255.255.255.255");
  EXPECT_EQ(IPv4("4294967295"), "255.255.255.255");
}

TEST(IpAddressTest, IPv4RefusesWhatDoesNotFit) {
  EXPECT_EQ(IPv4("4294967296"), "invalid");
  EXPECT_EQ(IPv4("1.2.3.256"), "invalid");
  EXPECT_EQ(IPv4("256.1"), "invalid");
  EXPECT_EQ(IPv4("1.16777216"), "invalid");
  EXPECT_EQ(IPv4("1.2.3.4.5"), "invalid");
  EXPECT_EQ(IPv4("1..2"), "invalid");
  EXPECT_EQ(IPv4("08"), "invalid");
  EXPECT_EQ(IPv4("0xg"), "invalid");
  EXPECT_EQ(IPv4("99999999999999999999999999999"), "invalid");
}

TEST(IpAddressTest, EndsInANumberLooksAtTheLastLabel) {
  EXPECT_TRUE(EndsInANumber("a.1"));
  EXPECT_TRUE(EndsInANumber("a.0x1f."));
  EXPECT_TRUE(EndsInANumber("09"));  // digits, even though not octal
  EXPECT_FALSE(EndsInANumber("1.a"));
  EXPECT_FALSE(EndsInANumber("a.1b"));
  EXPECT_FALSE(EndsInANumber("."));
  EXPECT_FALSE(EndsInANumber("example.com"));
}

TEST(IpAddressTest, IPv6IsCompressedAndLowerCased) {
  EXPECT_EQ(IPv6("0:0:0:0:0:0:0:1"), "::1");
  EXPECT_EQ(IPv6("::"), "::");
  EXPECT_EQ(IPv6("1::"), "1::");
  EXPECT_EQ(IPv6("2001:DB8:0:0:1:0:0:1"), "2001:db8::1:0:0:1");
  EXPECT_EQ(IPv6("1:0:1:0:1:0:1:0"), "1:0:1:0:1:0:1:0");
  EXPECT_EQ(IPv6("0001:0020:0300:4000::"), "1:20:300:4000::");
  EXPECT_EQ(IPv6("::ffff:192.168.0.1"), "::ffff:c0a8:1");
  EXPECT_EQ(IPv6("1:2:3:4:5:6:1.2.3.4"), "1:2:3:4:5:6:102:304");
}

TEST(IpAddressTest, IPv6RefusesMalformedAddresses) {
  for (std::string_view bad : {"", ":", ":1", "1:", "1::2::3", "1:2:3:4:5:6:7", "1:2:3:4:5:6:7:8:9",
                               "12345::", "1:2:3:4:5:6:7:1.2.3.4", "::1.2.3", "::1.2.3.4.5",
                               "::01.2.3.4", "::256.0.0.0", "::1.2.3.4x", "g::", "::1 "}) {
    EXPECT_EQ(IPv6(bad), "invalid") << bad;
  }
}

}  // namespace
}  // namespace updater
