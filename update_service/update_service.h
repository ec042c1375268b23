#ifndef UPDATE_SERVICE_UPDATE_SERVICE_H_
#define UPDATE_SERVICE_UPDATE_SERVICE_H_

#include <string>
#include <string_view>

#include "update_service/update_query.h"

namespace updater {

// The one extra request header of every exchange with the service.
inline constexpr std::u16string_view kAcceptAnyHeader = u"Accept: */*\r\n";

struct QueryOutcome {
  enum class Kind { kNoResponse, kBadStatus, kOffer };
  Kind kind = Kind::kNoResponse;
  UpdateOffer offer;  // filled for kOffer
};

// Sends the query (GET, "Accept: */*", redirects not followed) and reads the
// offer from a "200" or "302" answer; the location header falls back to the
// standard Location.
QueryOutcome QueryUpdateService(const std::u16string& query_url,
                                std::u16string_view version_header,
                                std::u16string_view location_header);

}  // namespace updater

#endif  // UPDATE_SERVICE_UPDATE_SERVICE_H_
