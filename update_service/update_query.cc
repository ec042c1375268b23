#include "update_service/update_query.h"

#include "base/string_util.h"
#include "update_service/server_set.h"

namespace updater {
namespace {

constexpr std::u16string_view kQueryStart = u"?switches";
constexpr std::string_view kRealExePathSwitch = "real-exe-path";

}  // namespace

std::u16string BuildBrowserQueryUrl(const ParsedCommandLine& command_line, int set_index) {
  std::u16string url = GetServerSet(set_index).update_script_url;
  url += kQueryStart;
  for (const auto& [name, value] : command_line.Switches()) {
    if (name == kRealExePathSwitch) continue;
    url += u'&';
    url += ASCIIToUTF16(name);
    if (!value.empty()) {
      url += u'=';
      url += value;
    }
  }
  return url;
}

std::u16string BuildFlashQueryUrl(const ParsedCommandLine& command_line,
                                  int set_index,
                                  bool interactive) {
  std::u16string url = GetServerSet(set_index).flash_script_url;
  url += kQueryStart;
  url += u"&pepper-version=";
  url += command_line.GetValue("pepper-version");
  if (command_line.IsPresent("64bit")) url += u"&64bit";
  if (interactive) url += u"&kr-check-update";
  return url;
}

OfferVerdict EvaluateOffer(const UpdateOffer& offer, const Version& current_version) {
  if (offer.offered_version.empty()) return OfferVerdict::kNothingToInstall;
  const Version offered = ParseVersion(UTF16ToUTF8(offer.offered_version));
  if (current_version.CompareTo(offered) >= 0) return OfferVerdict::kNothingToInstall;
  if (offer.download_url.empty()) return OfferVerdict::kNoLocation;
  return OfferVerdict::kInstall;
}

}  // namespace updater
