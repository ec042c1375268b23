#include "base/path_arithmetic.h"

#include <cstddef>

#include "base/string_util.h"

namespace updater {
namespace {

constexpr size_t kDrivePrefixLength = 2;
constexpr std::u16string_view kCurrentDirectory = u".";
constexpr std::u16string_view kParentReference = u"..";
constexpr std::u16string_view kParentReferenceCharacters = u". \n\r\t";

bool IsSeparator(char16_t c, const PathRules& rules) {
  return rules.separators.find(c) != std::u16string_view::npos;
}

bool IsOnlySeparators(std::u16string_view text, const PathRules& rules) {
  return text.find_first_not_of(rules.separators) == std::u16string_view::npos;
}

bool IsDrivePrefix(std::u16string_view text, const PathRules& rules) {
  return text.size() == kDrivePrefixLength && HasDriveLetter(text, rules);
}

std::u16string TrimmedText(std::u16string_view text, const PathRules& rules) {
  // Positions are 1-based as counted from the start of the text; `start` is
  // the position of a possible root separator.
  const size_t start = HasDriveLetter(text, rules) ? 3 : 1;
  size_t length = text.size();
  size_t last_removed = 0;
  for (size_t pos = text.size(); pos >= start + 1 && IsSeparator(text[pos - 1], rules); --pos) {
    // The separator right after the root goes only when more than two stood
    // there, or when the root position holds no separator.
    if (pos != start + 1 || last_removed == start + 2 || !IsSeparator(text[start - 1], rules)) {
      length = pos - 1;
      last_removed = pos;
    }
  }
  return std::u16string(text.substr(0, length));
}

}  // namespace

FsPath TrimTrailingSeparators(const FsPath& p, const PathRules& rules) {
  return FsPath(TrimmedText(p.value(), rules));
}

FsPath ParentDir(const FsPath& p, const PathRules& rules) {
  std::u16string q = TrimmedText(p.value(), rules);
  // `root` is the index where a root separator stands: after a drive prefix
  // or at the very start.
  const size_t root = HasDriveLetter(q, rules) ? kDrivePrefixLength : 0;
  const size_t separator = q.find_last_of(rules.separators);
  if (separator == std::u16string::npos) {
    q.resize(root);
  } else if (separator == root) {
    q.resize(root + 1);
  } else if (separator == root + 1 && IsSeparator(q[root], rules)) {
    q.resize(root + 2);  // a leading double separator stays
  } else {
    q.resize(separator);
  }
  q = TrimmedText(q, rules);
  return FsPath(q.empty() ? kCurrentDirectory : q);
}

std::u16string LastComponent(const FsPath& p, const PathRules& rules) {
  const std::u16string text = TrimmedText(p.value(), rules);
  size_t begin = HasDriveLetter(text, rules) ? kDrivePrefixLength : 0;
  // A separator that is the last character is a root and is kept.
  if (text.size() >= begin + 2) {
    const size_t separator = text.find_last_of(rules.separators, text.size() - 2);
    if (separator != std::u16string::npos) begin = separator + 1;
  }
  return text.substr(begin);
}

FsPath JoinPath(const FsPath& p, std::u16string_view component, const PathRules& rules) {
  component = component.substr(0, component.find(u'\0'));
  if (p.value() == kCurrentDirectory) return FsPath(component);
  std::u16string joined = TrimmedText(p.value(), rules);
  if (!component.empty() && !joined.empty() && !IsSeparator(joined.back(), rules) &&
      !IsDrivePrefix(joined, rules)) {
    joined += rules.join_separator;
  }
  joined += component;
  return FsPath(joined);
}

std::vector<std::u16string> SplitComponents(const FsPath& p, const PathRules& rules) {
  std::vector<std::u16string> reversed;
  if (p.empty()) return reversed;
  FsPath current = p;
  for (FsPath parent = ParentDir(current, rules); !PathsEqual(parent, current, rules);
       parent = ParentDir(current, rules)) {
    std::u16string component = LastComponent(current, rules);
    if (!IsOnlySeparators(component, rules)) reversed.push_back(std::move(component));
    current = std::move(parent);
  }
  // `current` is now a root, a drive prefix, "." or nothing.
  std::u16string root = LastComponent(current, rules);
  if (!root.empty() && root != kCurrentDirectory) reversed.push_back(std::move(root));
  const std::u16string& rest = current.value();
  if (HasDriveLetter(rest, rules)) reversed.push_back(rest.substr(0, kDrivePrefixLength));
  return std::vector<std::u16string>(reversed.rbegin(), reversed.rend());
}

bool HasParentReference(const FsPath& p, const PathRules& rules) {
  for (const std::u16string& component : SplitComponents(p, rules)) {
    if (component.find_first_not_of(kParentReferenceCharacters) == std::u16string::npos &&
        component.find(kParentReference) != std::u16string::npos) {
      return true;
    }
  }
  return false;
}

bool RelativeTail(const FsPath& parent, const FsPath& child, FsPath& base, const PathRules& rules) {
  const std::vector<std::u16string> parent_components = SplitComponents(parent, rules);
  const std::vector<std::u16string> child_components = SplitComponents(child, rules);
  if (parent_components.empty() || parent_components.size() >= child_components.size()) {
    return false;
  }
  size_t first_exact = 0;
  if (IsDrivePrefix(parent_components[0], rules) && IsDrivePrefix(child_components[0], rules)) {
    if (ToLowerASCII(parent_components[0]) != ToLowerASCII(child_components[0])) return false;
    first_exact = 1;
  }
  for (size_t i = first_exact; i < parent_components.size(); ++i) {
    if (parent_components[i] != child_components[i]) return false;
  }
  FsPath joined = base;
  for (size_t i = parent_components.size(); i < child_components.size(); ++i) {
    joined = JoinPath(joined, child_components[i], rules);
  }
  base = std::move(joined);
  return true;
}

}  // namespace updater
