#include "url/url_path.h"

#include <vector>

#include "base/string_util.h"
#include "url/percent_encode.h"

namespace updater {
namespace {

bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSeparator(char c, PathStyle style) {
  return c == '/' || (c == '\\' && style != PathStyle::kOther);
}

bool IsSingleDotSegment(std::string_view segment) {
  return segment == "." || EqualsCaseInsensitiveASCII(segment, "%2e");
}

bool IsDoubleDotSegment(std::string_view segment) {
  return segment == ".." || EqualsCaseInsensitiveASCII(segment, ".%2e") ||
         EqualsCaseInsensitiveASCII(segment, "%2e.") ||
         EqualsCaseInsensitiveASCII(segment, "%2e%2e");
}

// The canonical path grows in `out`; `starts_` remembers where each segment's
// "/" is, so that ".." can drop the last one in constant time.
class PathBuilder {
 public:
  PathBuilder(PathStyle style, std::string& out) : style_(style), out_(out) {}

  void Add(std::string_view segment, bool is_last) {
    if (IsDoubleDotSegment(segment)) {
      DropLast();
      if (is_last) Append("");
    } else if (IsSingleDotSegment(segment)) {
      if (is_last) Append("");
    } else {
      Append(segment);
    }
  }

 private:
  void Append(std::string_view segment) {
    starts_.push_back(out_.size());
    out_ += '/';
    if (style_ == PathStyle::kFile && starts_.size() == 1 && IsWindowsDriveLetter(segment)) {
      out_ += segment[0];
      out_ += ':';
      return;
    }
    AppendPercentEncoded(segment, EncodeSet::kPath, out_);
  }

  void DropLast() {
    if (starts_.empty() || IsLoneDriveLetter()) return;
    out_.resize(starts_.back());
    starts_.pop_back();
  }

  // A file path never climbs above its drive.
  bool IsLoneDriveLetter() const {
    return style_ == PathStyle::kFile && starts_.size() == 1 &&
           IsWindowsDriveLetter(std::string_view(out_).substr(starts_[0] + 1));
  }

  const PathStyle style_;
  std::string& out_;
  std::vector<size_t> starts_;
};

}  // namespace

bool IsWindowsDriveLetter(std::string_view text) {
  return text.size() == 2 && IsAsciiAlpha(text[0]) && (text[1] == ':' || text[1] == '|');
}

void AppendCanonicalPath(std::string_view path, PathStyle style, std::string& out) {
  if (style == PathStyle::kOther && path.empty()) return;
  if (!path.empty() && IsSeparator(path.front(), style)) path.remove_prefix(1);
  PathBuilder builder(style, out);
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i], style)) continue;
    builder.Add(path.substr(start, i - start), i == path.size());
    start = i + 1;
  }
}

}  // namespace updater
