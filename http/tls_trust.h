#ifndef HTTP_TLS_TRUST_H_
#define HTTP_TLS_TRUST_H_

namespace updater {

// The PEM bundle of roots that HTTPS server certificates are checked
// against, fixed when the program is built; empty means the TLS library's
// own default.
const char* TlsCaBundle();

}  // namespace updater

#endif  // HTTP_TLS_TRUST_H_
