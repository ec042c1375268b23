#ifndef BASE_PATH_ARITHMETIC_H_
#define BASE_PATH_ARITHMETIC_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/fs_path.h"
#include "base/path_rules_platform.h"

namespace updater {

// Pure path arithmetic; nothing here touches the file system. Each takes the
// rules to apply and defaults to the native ones.

// `p` without separators at its end, keeping a root separator: C:\dir\\ ->
// C:\dir, C:\ and \ stay, a leading pair \\ stays, \\\ becomes \.
FsPath TrimTrailingSeparators(const FsPath& p,
                              const PathRules& rules = platform::NativePathRules());

// The directory part of `p`: C:\a\b.exe -> C:\a, C:\a -> C:\, C:b -> C:,
// b.exe -> "." (the current directory).
FsPath ParentDir(const FsPath& p, const PathRules& rules = platform::NativePathRules());

// The last component without drive prefix: C:\a\b\ -> b, C:\ -> \.
std::u16string LastComponent(const FsPath& p, const PathRules& rules = platform::NativePathRules());

// `p` and `component` with one separator between them; "." joined with x is
// x. The component is not checked for separators or for being absolute.
FsPath JoinPath(const FsPath& p,
                std::u16string_view component,
                const PathRules& rules = platform::NativePathRules());

// Drive prefix and root first: C:\a\b -> C:, \, a, b. Empty for an empty path.
std::vector<std::u16string> SplitComponents(const FsPath& p,
                                            const PathRules& rules = platform::NativePathRules());

// True when a component is made of ".", blanks, tabs, CR and LF only and holds
// "..": C:\a\ ..\b is one, C:\a\..b is not.
bool HasParentReference(const FsPath& p, const PathRules& rules = platform::NativePathRules());

// When `child` lies below `parent`, joins the components of `child` below
// `parent` onto `base` and returns true; otherwise false, `base` unchanged.
bool RelativeTail(const FsPath& parent,
                  const FsPath& child,
                  FsPath& base,
                  const PathRules& rules = platform::NativePathRules());

}  // namespace updater

#endif  // BASE_PATH_ARITHMETIC_H_
