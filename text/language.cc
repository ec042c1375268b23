#include "text/language.h"

#include <array>

#include "base/string_util.h"

namespace updater {
namespace {

// Index i + 1 is the language of tag i; German has no texts of its own and
// shows the English ones.
constexpr std::array<std::string_view, kLanguageCount - 1> kLanguageTags = {
    "zh-CN", "zh-TW", "ru", "de", "fr", "ja", "pl", "pt-BR", "el"};

}  // namespace

int LanguageIndexFromTag(std::string_view tag) {
  for (size_t i = 0; i < kLanguageTags.size(); ++i) {
    if (EqualsCaseInsensitiveASCII(tag, kLanguageTags[i])) return static_cast<int>(i) + 1;
  }
  return kLanguageEnglish;
}

}  // namespace updater
