#include "http/tls_trust.h"

namespace updater {

const char* TlsCaBundle() {
  return UPDATER_TLS_CA_BUNDLE;
}

}  // namespace updater
