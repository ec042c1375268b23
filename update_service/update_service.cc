#include "update_service/update_service.h"

#include "http/http_client.h"

namespace updater {

QueryOutcome QueryUpdateService(const std::u16string& query_url,
                                std::u16string_view version_header,
                                std::u16string_view location_header) {
  HttpClient client(query_url, nullptr);
  client.SetAdditionalHeaders(kAcceptAnyHeader);
  if (!client.SendRequest(u"GET", /*disable_redirects=*/true)) return {};
  const std::u16string status = client.GetStatusCode();
  if (status != u"200" && status != u"302") return {QueryOutcome::Kind::kBadStatus, {}};
  QueryOutcome outcome{QueryOutcome::Kind::kOffer, {}};
  outcome.offer.offered_version = client.GetResponseHeader(version_header);
  outcome.offer.download_url = client.GetResponseHeader(location_header);
  if (outcome.offer.download_url.empty()) outcome.offer.download_url = client.GetLocation();
  return outcome;
}

}  // namespace updater
