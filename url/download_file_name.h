#ifndef URL_DOWNLOAD_FILE_NAME_H_
#define URL_DOWNLOAD_FILE_NAME_H_

#include <string>
#include <string_view>

namespace updater {

// The name to save a download under: the last segment of the canonical URL's
// path, without query, fragment or ";" parameters, escapes kept as they are
// ("My%20Setup.exe"). Empty means no file name: the text is no absolute URL,
// its path is empty or ends in "/", or the name could not name one file on
// Linux and Windows alike: it holds a wildcard ("*", "?"), one of <>:"|, a
// control character (also escaped), ends in "." or a blank (so "." and ".."
// too), or is a Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9,
// CONIN$, CONOUT$, with any extension). A name never holds "/", "\" or NUL.
std::string DownloadFileName(std::u16string_view download_url);

}  // namespace updater

#endif  // URL_DOWNLOAD_FILE_NAME_H_
