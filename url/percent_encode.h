#ifndef URL_PERCENT_ENCODE_H_
#define URL_PERCENT_ENCODE_H_

#include <string>
#include <string_view>

namespace updater {

// The byte sets that each URL component escapes. Each set contains the one
// before it; every set escapes C0 controls and all bytes above 0x7E, so
// UTF-8 text always comes out as %XX escapes.
enum class EncodeSet {
  kC0Control,     // opaque paths and opaque hosts
  kFragment,      // + space " < > `
  kQuery,         // C0 + space " # < >
  kSpecialQuery,  // query + '
  kPath,          // query + ? ` { }
  kUserinfo,      // path + / : ; = @ [ \ ] ^ |
};

bool ShouldPercentEncode(unsigned char byte, EncodeSet set);

// Appends `text` with every byte of `set` written as "%" and two upper-case
// hexadecimal digits. A "%" is never escaped, so existing escapes are kept.
void AppendPercentEncoded(std::string_view text, EncodeSet set, std::string& out);

// Replaces each "%" followed by two hexadecimal digits by the byte they
// name; any other "%" stays as it is.
std::string PercentDecode(std::string_view text);

}  // namespace updater

#endif  // URL_PERCENT_ENCODE_H_
