#include "auto_update/kr_auto_update.h"

int main() {
  return updater::UpdaterMain();
}
