// A GUI program: no console. The command line is read where every platform
// reads it; the instance handle is the executable's own module.
#include <windows.h>

#include "auto_update/kr_auto_update.h"

int WINAPI wWinMain(HINSTANCE /*instance*/,
                    HINSTANCE /*previous_instance*/,
                    PWSTR /*command_line*/,
                    int /*show_command*/) {
  return updater::UpdaterMain();
}
