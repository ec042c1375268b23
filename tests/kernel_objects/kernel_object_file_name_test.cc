#include "kernel_objects/kernel_object_file_name.h"

#include <gtest/gtest.h>

#include <string>

namespace updater {
namespace {

// The browser finds the updater's objects by these names: the values are
// fixed, not derived from the code.
TEST(KernelObjectFileNameTest, NamesFollowTheFixedHashAndForm) {
  EXPECT_EQ(KernelObjectFileNameStart(u"Global\\rivazeriduv_updater_singleton"),
            "rivazeriduv_kernel_object.6dd77ecaa6ae2c91.");
  EXPECT_EQ(KernelObjectNameHash(u""), 0xCBF29CE484222325ULL);
  // Code units low byte first, unpaired surrogates and all.
  EXPECT_EQ(KernelObjectNameHash(u"a"), 0x089BE207B544F1E4ULL);
  EXPECT_EQ(KernelObjectNameHash(u"\x6100"), 0x08326707B4EB37DAULL);
  EXPECT_EQ(KernelObjectNameHash(u"程"), 0x08514407B505ACF0ULL);
  EXPECT_EQ(KernelObjectNameHash(u"a\xD800"), 0xAC8093820E5063DCULL);

  const std::string file_name = KernelObjectFileName(u"a", 0xFEDCBA9876543210ULL);
  EXPECT_EQ(file_name, "rivazeriduv_kernel_object.089be207b544f1e4.fedcba9876543210");
  EXPECT_EQ(KernelObjectFileName(u"a", 1),
            "rivazeriduv_kernel_object.089be207b544f1e4.0000000000000001");
  EXPECT_TRUE(IsKernelObjectFileName(file_name));
  EXPECT_EQ(KernelObjectTemporaryFileName(0xAB), "rivazeriduv_kernel_object.tmp.00000000000000ab");
}

TEST(KernelObjectFileNameTest, OnlyObjectFileNamesAreRecognised) {
  const std::string valid = "rivazeriduv_kernel_object.089be207b544f1e4.fedcba9876543210";
  for (const std::string& other : {
           valid + "0",
           valid.substr(0, valid.size() - 1),
           std::string("rivazeriduv_kernel_object.089BE207B544F1E4.fedcba9876543210"),
           std::string("rivazeriduv_kernel_object.089be207b544f1e4-fedcba9876543210"),
           std::string("rivazeriduv_kernel_object.089be207b544f1e4.fedcba987654321g"),
           std::string("rivazeriduv_kernel_objects.89be207b544f1e4.fedcba9876543210"),
           KernelObjectTemporaryFileName(0x1234),
           std::string("rivazeriduv_kernel_objects"),
       }) {
    EXPECT_FALSE(IsKernelObjectFileName(other)) << other;
  }
}

}  // namespace
}  // namespace updater
