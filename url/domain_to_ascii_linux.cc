#include "url/domain_to_ascii_platform.h"

#include <dlfcn.h>
#include <unicode/uidna.h>
#include <unicode/utypes.h>
#include <unicode/uvernum.h>

#include <limits>

#include "base/string_util.h"

namespace updater::platform {
namespace {

// ICU is opened the first time a host needs it (few ever do: see
// CanonicalizeSpecialHost), so that a run that never meets one does not pay
// for loading it. Its functions carry the version in their names.
#define UPDATER_STRINGIFY(name) #name
#define UPDATER_ICU_SYMBOL(name) UPDATER_STRINGIFY(name)
constexpr char kIcuLibrary[] = "libicuuc.so." UPDATER_ICU_SYMBOL(U_ICU_VERSION_MAJOR_NUM);

struct IcuIdna {
  decltype(&uidna_openUTS46) open_uts46 = nullptr;
  decltype(&uidna_nameToASCII) name_to_ascii = nullptr;
};

IcuIdna LoadIcuIdna() {
  void* library = dlopen(kIcuLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return {};
  IcuIdna idna;
  idna.open_uts46 = reinterpret_cast<decltype(&uidna_openUTS46)>(
      dlsym(library, UPDATER_ICU_SYMBOL(uidna_openUTS46)));
  idna.name_to_ascii = reinterpret_cast<decltype(&uidna_nameToASCII)>(
      dlsym(library, UPDATER_ICU_SYMBOL(uidna_nameToASCII)));
  if (idna.open_uts46 == nullptr || idna.name_to_ascii == nullptr) return {};
  return idna;
}

const IcuIdna& Idna() {
  static const IcuIdna idna = LoadIcuIdna();
  return idna;
}

constexpr uint32_t kIdnaOptions = UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ |
                                  UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE;

// Errors of rules URLs do not apply: hyphen positions and DNS lengths.
constexpr uint32_t kIgnoredIdnaErrors =
    UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG | UIDNA_ERROR_DOMAIN_NAME_TOO_LONG |
    UIDNA_ERROR_LEADING_HYPHEN | UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;

// The processor is immutable once opened, so one serves every thread.
const UIDNA* Uts46Processor() {
  static const UIDNA* const processor = [] {
    if (Idna().open_uts46 == nullptr) return static_cast<UIDNA*>(nullptr);
    UErrorCode status = U_ZERO_ERROR;
    UIDNA* opened = Idna().open_uts46(kIdnaOptions, &status);
    return U_SUCCESS(status) ? opened : nullptr;
  }();
  return processor;
}

}  // namespace

std::optional<std::string> DomainToASCII(std::string_view domain) {
  const UIDNA* processor = Uts46Processor();
  const std::u16string input = UTF8ToUTF16(domain);
  if (processor == nullptr || input.size() > std::numeric_limits<int32_t>::max() / 4) {
    return std::nullopt;
  }
  // Punycode can make a label longer than its Unicode form; ICU reports the
  // size it needs when the first guess is short.
  std::u16string output(input.size() * 2 + 64, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    const int32_t length =
        Idna().name_to_ascii(processor, input.data(), static_cast<int32_t>(input.size()),
                             output.data(), static_cast<int32_t>(output.size()), &info, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      output.resize(static_cast<size_t>(length));
      continue;
    }
    if (U_FAILURE(status) || (info.errors & ~kIgnoredIdnaErrors) != 0 || length == 0) {
      return std::nullopt;
    }
    output.resize(static_cast<size_t>(length));
    return UTF16ToUTF8(output);
  }
  return std::nullopt;
}

}  // namespace updater::platform
