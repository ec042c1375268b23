#include "update_run/kernel_object_names.h"

#include <gtest/gtest.h>

namespace updater {
namespace {

TEST(KernelObjectNamesTest, PrefixFoldsSeparatorsAndAsciiLetters) {
  const std::u16string windows = MakeKernelObjectPrefix(u"C:\\Apps\\Browser\\brelix.exe", u'\\');
  EXPECT_EQ(windows, u"c:!apps!browser!brelix.exe");
  EXPECT_EQ(KernelObjectName(windows, kAbortInstallerSuffix),
            u"Global\\c:!apps!browser!brelix.exe_updater_abort_installer");
  EXPECT_EQ(MakeKernelObjectPrefix(u"D:\\Portable\\Browser\\brelix.exe", u'\\'),
            u"d:!portable!browser!brelix.exe");
  // Only the platform's own separator is replaced; non-ASCII letters stay.
  EXPECT_EQ(MakeKernelObjectPrefix(u"/Opt/\u00c9t\u00e9/a\\b", u'/'), u"!opt!\u00c9t\u00e9!a\\b");
  EXPECT_EQ(KernelObjectName(u"!opt!b", kBrowserRunningSuffix), u"Global\\!opt!b");
  EXPECT_EQ(KernelObjectName(u"p", kUnderUpgradeSuffix), u"Global\\p_under_upgrade");
}

}  // namespace
}  // namespace updater
