#ifndef TEXT_LOCALIZED_TEXT_H_
#define TEXT_LOCALIZED_TEXT_H_

#include <string>

#include "text/language.h"

namespace updater {

// One catalog entry: a NUL-terminated text per language, null where a
// language has none of its own (English is never null). The texts are
// constant data that live as long as the program.
struct LocalizedText {
  const char16_t* texts[kLanguageCount];
};

extern const LocalizedText kTextWindowTitle;
extern const LocalizedText kTextAlreadyRunning;
extern const LocalizedText kTextInstallButton;
extern const LocalizedText kTextConfirmButton;
extern const LocalizedText kTextAbortButton;
extern const LocalizedText kTextOpenFolderButton;
extern const LocalizedText kTextInstalling;
extern const LocalizedText kTextBrowserCurrentVersion;
extern const LocalizedText kTextFlashCurrentVersion;
extern const LocalizedText kTextConnecting;
extern const LocalizedText kTextBrowserFoundPrefix;
extern const LocalizedText kTextBrowserFoundSuffix;
extern const LocalizedText kTextDownloadProgress;  // Format: one integer.
extern const LocalizedText kTextBrowserInstallPrompt;
extern const LocalizedText kTextBrowserUpToDate;
extern const LocalizedText kTextBrowserInstalled;
extern const LocalizedText kTextBrowserRestartPrompt;
extern const LocalizedText kTextBrowserFailed;  // Format: one integer.
extern const LocalizedText kTextFlashChecking;
extern const LocalizedText kTextFlashFoundPrefix;
extern const LocalizedText kTextFlashFoundSuffix;
extern const LocalizedText kTextFlashInstallPrompt;
extern const LocalizedText kTextFlashUpToDate;
extern const LocalizedText kTextFlashInstalled;
extern const LocalizedText kTextFlashRestartPrompt;
extern const LocalizedText kTextFlashFailed;  // Format: one integer.

// The entry's text in the given language; English when the index is outside
// 0..9 or the language has no text for this entry. Never null; not owned by
// the caller.
const char16_t* GetLocalizedText(const LocalizedText& entry, int language_index);

// printf-style formatting of a catalog format with its one integer argument:
// "%d" takes the value, "%%" is a single "%". Any other "%" sequence, and a
// "%d" after the first, is copied as written, so no format can read an
// argument it was not given. A null format gives an empty text.
std::u16string FormatLocalizedText(const char16_t* format, int value);

}  // namespace updater

#endif  // TEXT_LOCALIZED_TEXT_H_
