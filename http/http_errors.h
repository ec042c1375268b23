#ifndef HTTP_HTTP_ERRORS_H_
#define HTTP_HTTP_ERRORS_H_

#include <cstdint>

namespace updater {

// The client reports the platform's own error numbers; on Linux the transport
// translates its failures into the same numbers so that callers and logs read
// alike on every platform.
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorHttpTimeout = 12002;
constexpr uint32_t kErrorHttpInternal = 12004;
constexpr uint32_t kErrorHttpInvalidUrl = 12005;
constexpr uint32_t kErrorHttpUnrecognizedScheme = 12006;
constexpr uint32_t kErrorHttpNameNotResolved = 12007;
constexpr uint32_t kErrorHttpOperationCancelled = 12017;
constexpr uint32_t kErrorHttpCannotConnect = 12029;
constexpr uint32_t kErrorHttpConnectionError = 12030;
constexpr uint32_t kErrorHttpInvalidServerResponse = 12152;
constexpr uint32_t kErrorHttpInvalidHeader = 12153;
constexpr uint32_t kErrorHttpRedirectFailed = 12156;
constexpr uint32_t kErrorHttpSecureFailure = 12175;

}  // namespace updater

#endif  // HTTP_HTTP_ERRORS_H_
