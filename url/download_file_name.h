#ifndef URL_DOWNLOAD_FILE_NAME_H_
#define URL_DOWNLOAD_FILE_NAME_H_

#include <string>
#include <string_view>

namespace updater {

// The name to save a download under: the last segment of the canonical URL's
// path, without query, fragment or ";" parameters, escapes kept as they are
// ("My%20Setup.exe"). Empty means no file name: the text is no absolute URL,
// its path is empty or ends in "/", or the name would be "." or "..", or
// would stand for a control character once unescaped. A name never holds "/",
// "\" or NUL.
std::string DownloadFileName(std::u16string_view download_url);

}  // namespace updater

#endif  // URL_DOWNLOAD_FILE_NAME_H_
