#include "update_service/update_query.h"

#include <gtest/gtest.h>

#include "update_service/server_set.h"

namespace updater {
namespace {

TEST(ServerSetTest, ScriptsHangBelowTheSiteRoot) {
  EXPECT_EQ(GetServerSet(kPrimaryServerSet).site_root_url, u"https://primary.test:8443");
  EXPECT_EQ(GetServerSet(kPrimaryServerSet).update_script_url,
            u"https://primary.test:8443/update.php");
  EXPECT_EQ(GetServerSet(kMirrorServerSet).flash_script_url,
            u"http://mirror.test/update_pepper.php");
  EXPECT_EQ(MakeServerSet(u"http://h/").update_script_url, u"http://h/update.php");
}

TEST(UpdateQueryTest, BrowserQueryCarriesEverySwitchButTheExecutablePath) {
  const ParsedCommandLine command_line = ParsedCommandLine::FromArguments(
      {u"updater", u"--current=55.0.2883.87", u"--langid=ru", u"--portable",
       u"--real-exe-path=D:\\P\\brelix.exe", u"positional"});
  EXPECT_EQ(BuildBrowserQueryUrl(command_line, kPrimaryServerSet),
            u"https://primary.test:8443/update.php?switches&current=55.0.2883.87&langid=ru"
            u"&portable");

  // Values travel unescaped, as parsed: "&", "=" and blanks included.
  const ParsedCommandLine odd = ParsedCommandLine::FromArguments(
      {u"updater", u"--Z=a&b c", u"/kr-check-update", u"--64bit", u"--x=k=v"});
  EXPECT_EQ(BuildBrowserQueryUrl(odd, kMirrorServerSet),
            u"http://mirror.test/update.php?switches&64bit&kr-check-update&x=k=v&z=a&b c");
  EXPECT_EQ(BuildBrowserQueryUrl(ParsedCommandLine(u"u"), kPrimaryServerSet),
            u"https://primary.test:8443/update.php?switches");
}

TEST(UpdateQueryTest, FlashQuerySendsOnlyItsOwnSwitches) {
  const ParsedCommandLine plain = ParsedCommandLine::FromArguments(
      {u"updater", u"--pepper-version=23.0.0.207", u"--current=1.0", u"--langid=ru"});
  EXPECT_EQ(BuildFlashQueryUrl(plain, kPrimaryServerSet, false),
            u"https://primary.test:8443/update_pepper.php?switches&pepper-version=23.0.0.207");
  const ParsedCommandLine wide = ParsedCommandLine::FromArguments(
      {u"updater", u"--64BIT", u"--pepper-version=23.0.0.207", u"--kr-check-update"});
  EXPECT_EQ(BuildFlashQueryUrl(wide, kMirrorServerSet, true),
            u"http://mirror.test/update_pepper.php?switches&pepper-version=23.0.0.207&64bit"
            u"&kr-check-update");
}

TEST(UpdateQueryTest, OffersAreJudgedInAFixedOrder) {
  const Version current = ParseVersion("55.0.2883.87");
  struct Case {
    std::u16string version;
    std::u16string location;
    OfferVerdict verdict;
  };
  const Case cases[] = {
      {u"", u"http://x/setup.exe", OfferVerdict::kNothingToInstall},
      {u"55.0.2883.87", u"http://x/setup.exe", OfferVerdict::kNothingToInstall},
      {u"55.0.2883.87.0", u"http://x/setup.exe", OfferVerdict::kNothingToInstall},
      {u"55.0.2883.86", u"http://x/setup.exe", OfferVerdict::kNothingToInstall},
      {u"56.0.0.1 ", u"http://x/setup.exe", OfferVerdict::kNothingToInstall},  // trailing blank
      {u"056.0", u"http://x/setup.exe", OfferVerdict::kNothingToInstall},      // leading zero
      {u"\uff15\uff16", u"http://x/setup.exe", OfferVerdict::kNothingToInstall},
      {u"56.0.0.1", u"", OfferVerdict::kNoLocation},
      {u"55.0.2883.087.1", u"", OfferVerdict::kNoLocation},
      {u"56", u"http://x/setup.exe", OfferVerdict::kInstall},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EvaluateOffer({c.version, c.location}, current), c.verdict)
        << std::string(c.version.begin(), c.version.end());
  }
  // A browser whose version is missing or malformed is offered any update.
  EXPECT_EQ(EvaluateOffer({u"0.0.1", u"u"}, Version()), OfferVerdict::kInstall);
  EXPECT_EQ(EvaluateOffer({u"0.0", u"u"}, Version()), OfferVerdict::kNothingToInstall);
}

}  // namespace
}  // namespace updater
