#ifndef UPDATE_RUN_KERNEL_OBJECT_NAMES_H_
#define UPDATE_RUN_KERNEL_OBJECT_NAMES_H_

#include <string>
#include <string_view>

#include "base/fs_path.h"

namespace updater {

// Names shared with the browser: machine-wide, in the global namespace.
inline constexpr std::u16string_view kSingletonMutexName = u"Global\\rivazeriduv_updater_singleton";
inline constexpr std::u16string_view kContinueEventName =
    u"Global\\rivazeriduv_updater_continue_or_cancel_0";
inline constexpr std::u16string_view kCancelEventName =
    u"Global\\rivazeriduv_updater_continue_or_cancel_1";

// The per-installation prefix: `path` with every `separator` turned into "!"
// and its ASCII letters lowered; other characters stay as they are.
std::u16string MakeKernelObjectPrefix(std::u16string_view path, char16_t separator);

// The prefix for the installation of the browser at `real_exe_path`, made
// from the updater's own executable when that is empty. The platform's own
// separator becomes "!".
std::u16string GetKernelObjectPrefix(const FsPath& real_exe_path);

// "Global\" + prefix + suffix; an empty suffix names the browser's running
// event.
std::u16string KernelObjectName(std::u16string_view prefix, std::u16string_view suffix);

inline constexpr std::u16string_view kAbortInstallerSuffix = u"_updater_abort_installer";
inline constexpr std::u16string_view kAbortFlashSuffix = u"_updater_abort_pepper";
inline constexpr std::u16string_view kNeedRestartSuffix = u"_updater_need_restart";
inline constexpr std::u16string_view kUnderUpgradeSuffix = u"_under_upgrade";
inline constexpr std::u16string_view kBrowserRunningSuffix = u"";

}  // namespace updater

#endif  // UPDATE_RUN_KERNEL_OBJECT_NAMES_H_
