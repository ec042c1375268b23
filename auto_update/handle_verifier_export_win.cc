// The executable's one export: other modules loaded into the updater's
// process find the named-object library's handle record through it.
#include "kernel_objects/handle_verifier.h"

extern "C" __declspec(dllexport) const updater::HandleVerifier* GetHandleVerifier() {
  return updater::GetProcessHandleVerifier();
}
