#ifndef TESTS_SUPPORT_TEXT_CATALOG_H_
#define TESTS_SUPPORT_TEXT_CATALOG_H_

// Every entry of the text catalog, for tests that look at all of its texts.

#include "text/localized_text.h"

namespace updater::test_support {

inline constexpr int kCatalogEntryCount = 26;

inline const LocalizedText* const kCatalogEntries[kCatalogEntryCount] = {
    &kTextWindowTitle,        &kTextAlreadyRunning,        &kTextInstallButton,
    &kTextConfirmButton,      &kTextAbortButton,           &kTextOpenFolderButton,
    &kTextInstalling,         &kTextBrowserCurrentVersion, &kTextFlashCurrentVersion,
    &kTextConnecting,         &kTextBrowserFoundPrefix,    &kTextBrowserFoundSuffix,
    &kTextDownloadProgress,   &kTextBrowserInstallPrompt,  &kTextBrowserUpToDate,
    &kTextBrowserInstalled,   &kTextBrowserRestartPrompt,  &kTextBrowserFailed,
    &kTextFlashChecking,      &kTextFlashFoundPrefix,      &kTextFlashFoundSuffix,
    &kTextFlashInstallPrompt, &kTextFlashUpToDate,         &kTextFlashInstalled,
    &kTextFlashRestartPrompt, &kTextFlashFailed,
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_TEXT_CATALOG_H_
