#ifndef TEXT_LANGUAGE_H_
#define TEXT_LANGUAGE_H_

#include <string_view>

namespace updater {

// User-interface languages, indexed as the "langid" switch selects them;
// the text catalog holds one text per language.
inline constexpr int kLanguageEnglish = 0;
inline constexpr int kLanguageSimplifiedChinese = 1;
inline constexpr int kLanguageCount = 10;

// The user-interface language for a "langid" value: the tags compare without
// regard to ASCII case; anything else is English.
int LanguageIndexFromTag(std::string_view tag);

}  // namespace updater

#endif  // TEXT_LANGUAGE_H_
