#ifndef BASE_WILDCARD_MATCH_H_
#define BASE_WILDCARD_MATCH_H_

#include <string_view>

namespace updater {

// True when `name` matches `pattern`, in which "*" stands for any run of
// characters (also none) and "?" for exactly one; everything else matches
// itself exactly.
bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern);

}  // namespace updater

#endif  // BASE_WILDCARD_MATCH_H_
