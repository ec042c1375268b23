// Windows 10 1903 and later ship ICU as icu.dll with its C interface; it is
// loaded from the system directory when first needed. Where it is absent
// (older Windows, wine), IdnToAscii takes over: it applies the older,
// transitional rules (ß becomes ss, joiners are dropped, no bidi check, no
// check of xn-- labels) and the DNS length limits, so such names may map
// where ICU maps them otherwise, or the reverse.
#include <windows.h>

#include <cstdint>
#include <limits>
#include <string>

#include "base/native_win.h"
#include "base/string_util.h"
#include "url/domain_to_ascii_platform.h"

namespace updater::platform {
namespace {

// ICU's C interface, as icu.dll exports it (stable since ICU 4.6).
struct IcuIdna;
struct IcuIdnaInfo {
  int16_t size;
  int8_t is_transitional_different;
  int8_t reserved_b3;
  uint32_t errors;
  int32_t reserved_i2;
  int32_t reserved_i3;
};
using OpenUts46Function = IcuIdna*(__cdecl*)(uint32_t options, int* status);
using NameToAsciiFunction = int32_t(__cdecl*)(const IcuIdna*,
                                              const char16_t* name,
                                              int32_t length,
                                              char16_t* dest,
                                              int32_t capacity,
                                              IcuIdnaInfo* info,
                                              int* status);

constexpr uint32_t kCheckBidi = 0x4;
constexpr uint32_t kCheckContextJ = 0x8;
constexpr uint32_t kNontransitionalToAscii = 0x10;
constexpr uint32_t kNontransitionalToUnicode = 0x20;
constexpr uint32_t kIdnaOptions =
    kCheckBidi | kCheckContextJ | kNontransitionalToAscii | kNontransitionalToUnicode;
// Errors of rules URLs do not apply: empty labels, DNS lengths, hyphens.
constexpr uint32_t kIgnoredIdnaErrors = 0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x20;
constexpr int kBufferOverflow = 15;

struct Icu {
  const IcuIdna* processor = nullptr;
  NameToAsciiFunction name_to_ascii = nullptr;
};

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The processor is immutable once opened, so one serves every thread.
const Icu& SystemIcu() {
  static const Icu icu = [] {
    Icu loaded;
    const HMODULE module = LoadLibraryExW(L"icu.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) return loaded;
    const auto open = Export<OpenUts46Function>(module, "uidna_openUTS46");
    loaded.name_to_ascii = Export<NameToAsciiFunction>(module, "uidna_nameToASCII");
    int status = 0;
    if (open && loaded.name_to_ascii) loaded.processor = open(kIdnaOptions, &status);
    if (status > 0) loaded.processor = nullptr;
    return loaded;
  }();
  return icu;
}

std::optional<std::u16string> IcuToAscii(const Icu& icu, const std::u16string& input) {
  // Punycode can make a label longer than its Unicode form; ICU reports the
  // size it needs when the first guess is short.
  std::u16string output(input.size() * 2 + 64, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    int status = 0;
    IcuIdnaInfo info{sizeof(IcuIdnaInfo), 0, 0, 0, 0, 0};
    const int32_t length =
        icu.name_to_ascii(icu.processor, input.data(), static_cast<int32_t>(input.size()),
                          output.data(), static_cast<int32_t>(output.size()), &info, &status);
    if (status == kBufferOverflow) {
      output.resize(static_cast<size_t>(length));
      continue;
    }
    if (status > 0 || (info.errors & ~kIgnoredIdnaErrors) != 0 || length <= 0) break;
    output.resize(static_cast<size_t>(length));
    return output;
  }
  return std::nullopt;
}

// IdnToAscii leaves ASCII labels as they are; host names compare in lower
// case, as UTS #46 maps them.
void LowerAsciiLetters(std::u16string& text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
}

std::optional<std::u16string> SystemToAscii(const std::u16string& input) {
  const std::wstring wide = win::ToWide(input);
  const int length = IdnToAscii(0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring output(static_cast<size_t>(length), L'\0');
  if (IdnToAscii(0, wide.c_str(), static_cast<int>(wide.size()), output.data(), length) != length) {
    return std::nullopt;
  }
  std::u16string ascii = win::FromWide(output);
  LowerAsciiLetters(ascii);
  return ascii;
}

}  // namespace

std::optional<std::string> DomainToASCII(std::string_view domain) {
  const std::u16string input = UTF8ToUTF16(domain);
  if (input.empty() || input.size() > std::numeric_limits<int32_t>::max() / 4) {
    return std::nullopt;
  }
  const Icu& icu = SystemIcu();
  const std::optional<std::u16string> ascii =
      icu.processor ? IcuToAscii(icu, input) : SystemToAscii(input);
  if (!ascii) return std::nullopt;
  return UTF16ToUTF8(*ascii);
}

}  // namespace updater::platform
