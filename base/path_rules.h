#ifndef BASE_PATH_RULES_H_
#define BASE_PATH_RULES_H_

#include <string_view>

namespace updater {

// How one platform writes paths. The path logic is written once against
// these rules, so that every platform's rules can be checked on any build.
struct PathRules {
  std::u16string_view separators;  // every character that separates components
  bool drive_letters;              // "C:" prefixes are recognised
  char16_t join_separator;         // written between joined components
};

inline constexpr PathRules kWindowsPathRules{u"\\/", true, u'\\'};
inline constexpr PathRules kPosixPathRules{u"/", false, u'/'};

}  // namespace updater

#endif  // BASE_PATH_RULES_H_
