#ifndef URL_URL_PATH_H_
#define URL_URL_PATH_H_

#include <string>
#include <string_view>

namespace updater {

enum class PathStyle {
  kSpecial,  // "\" separates too, and the path is never empty
  kFile,     // as kSpecial, and a leading drive letter ("C|") is kept
  kOther,    // only "/" separates
};

// Appends the canonical form of a hierarchical path: "." and ".." segments
// (also written "%2e") are resolved, what lies outside the URL character set
// is percent-encoded and existing escapes are kept.
void AppendCanonicalPath(std::string_view path, PathStyle style, std::string& out);

// True for a letter followed by ":" or "|", the start of a DOS path.
bool IsWindowsDriveLetter(std::string_view text);

}  // namespace updater

#endif  // URL_URL_PATH_H_
