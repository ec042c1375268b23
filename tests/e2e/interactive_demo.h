#ifndef TESTS_E2E_INTERACTIVE_DEMO_H_
#define TESTS_E2E_INTERACTIVE_DEMO_H_

#include <string>

namespace updater::e2e {

// An interactive browser update on a virtual display: the dialog at the
// install prompt, Install pressed as its user would, the dialog at the end;
// both saved as PNG files in `shots_dir`. 0 when the update installed.
int RunInteractiveDemo(const std::string& shots_dir);

// The dialog at the install prompt in each of the ten languages, as
// <index>_<tag>.png in `shots_dir`. 0 when all ten were saved.
int SaveDialogScreenshots(const std::string& shots_dir);
// The same interactive update with the Windows updater under wine.
int RunWin32InteractiveDemo(const std::string& shots_dir);

// The Windows updater's dialog under wine at the install prompt in every
// language, as <shots_dir>/<index>_<tag>.png: 0 when all were saved.
int SaveWin32DialogScreenshots(const std::string& shots_dir);

}  // namespace updater::e2e

#endif  // TESTS_E2E_INTERACTIVE_DEMO_H_
