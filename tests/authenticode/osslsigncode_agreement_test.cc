// Our verdicts next to those of `osslsigncode verify` against the same root.
// The two differ by design in two places, which these tests pin down:
// certificates outside their validity period (tolerated here, refused there
// when the signature has no timestamp) and bytes smuggled into the
// certificate table behind the signature or into its padding (refused here,
// ignored there), as are unsigned attributes of other kinds than a
// countersignature, a timestamp or a nested signature.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "authenticode/installer_signature_check_linux.h"
#include "tests/authenticode/signature_corpus.h"
#include "tests/authenticode/unsigned_attribute_edit.h"

namespace updater {
namespace {

bool OsslsigncodeAccepts(const std::string& path) {
  const std::string command = "osslsigncode verify -CAfile '" + CorpusPath("root.pem") + "' -in '" +
                              path + "' >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Where the DER SignedData of the table's first entry ends (a long-form
// length, as every real signature needs).
size_t SignedDataEnd(const std::vector<uint8_t>& file, size_t table_offset) {
  const size_t der = table_offset + 8;
  const size_t length_bytes = file.at(der + 1) & 0x7f;
  size_t length = 0;
  for (size_t i = 0; i < length_bytes; ++i) length = length << 8 | file.at(der + 2 + i);
  return der + 2 + length_bytes + length;
}

std::string OsslsigncodeVersion() {
  std::string version;
  if (FILE* output = popen("osslsigncode --version 2>&1", "r")) {
    for (int c; (c = std::fgetc(output)) != EOF && c != '\n';) version += static_cast<char>(c);
    pclose(output);
  }
  return version;
}

bool WeAccept(const std::string& path) {
  return VerifyInstallerSignature(ToFsPath(path), CorpusAnchors("root.pem"));
}

TEST(OsslsigncodeAgreementTest, AgreesOnTheCorpus) {
  for (const char* name :
       {"pe32_sha1.exe", "pe32_sha256.exe", "pe32_sha384.exe", "pe32plus_sha1.exe",
        "pe32plus_sha256.exe", "pe32plus_sha512.exe", "server_auth_leaf.exe", "any_use_leaf.exe",
        "any_use_intermediate.exe", "nested_signature.exe", "unknown_root.exe",
        "missing_intermediate.exe", "unsigned_pe32.exe", "unsigned_pe32plus.exe", "text.txt"}) {
    const std::string path = CorpusPath(name);
    EXPECT_EQ(WeAccept(path), OsslsigncodeAccepts(path)) << name;
  }
}

TEST(OsslsigncodeAgreementTest, OnlyWeTolerateValidityPeriods) {
  for (const char* name : {"expired_leaf.exe", "future_leaf.exe", "expired_intermediate.exe"}) {
    const std::string path = CorpusPath(name);
    EXPECT_TRUE(WeAccept(path)) << name;
    EXPECT_FALSE(OsslsigncodeAccepts(path)) << name;
  }
}

TEST(OsslsigncodeAgreementTest, TamperedCopies) {
  const std::vector<uint8_t> original = ReadFileBytes(CorpusPath("pe32plus_sha256.exe"));
  constexpr size_t kSecurityEntry = 0x128;
  const uint32_t table_offset = GetLittleEndian32(original, kSecurityEntry);
  const uint32_t table_size = GetLittleEndian32(original, kSecurityEntry + 4);

  // What osslsigncode says of a copy we refuse: the same, the opposite, or
  // what its release decides.
  enum Verdict { kAgree, kOnlyWeRefuse, kWeRefuse };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    Verdict verdict;
  };
  std::vector<Case> cases;
  auto add = [&](const char* what, size_t flip_offset, Verdict verdict = kAgree) {
    std::vector<uint8_t> copy = original;
    copy[flip_offset] ^= 0x01;
    cases.push_back({what, copy, verdict});
  };
  add("header byte", 0x88);
  add("section byte", 0x300);
  add("checksum", 0xd8);
  // The SignedData ends with the signer's signature value; what follows it
  // up to the entry's end is padding, which only we insist be zero.
  const size_t signed_data_end = SignedDataEnd(original, table_offset);
  add("signature value", signed_data_end - 1);
  if (signed_data_end < table_offset + table_size) add("padding", signed_data_end, kOnlyWeRefuse);
  add("entry revision", table_offset + 5);
  add("directory size", kSecurityEntry + 4);
  std::vector<uint8_t> appended = original;
  appended.insert(appended.end(), 8, 0);
  cases.push_back({"appended after the table", appended, kAgree});
  cases.push_back(
      {"table cut short", std::vector<uint8_t>(original.begin(), original.end() - 16), kAgree});
  cases.push_back({"table moved into the section", TableMovedIntoFirstSection(original), kAgree});
  cases.push_back({"second entry after the signature", WithSecondEntry(original), kAgree});
  std::vector<uint8_t> stuffed = original;
  stuffed.insert(stuffed.end(), 16, 0x41);
  SetLittleEndian32(stuffed, kSecurityEntry + 4, table_size + 16);
  SetLittleEndian32(stuffed, table_offset, GetLittleEndian32(stuffed, table_offset) + 16);
  cases.push_back({"bytes stuffed into the table", stuffed, kOnlyWeRefuse});
  // 2.9 trusts it, 2.5 refuses it.
  cases.push_back({"58 KiB in an unsigned attribute",
                   WithUnsignedAttributes(original, MakeAttribute(kUnknownAttributeOid, 58 * 1024)),
                   kWeRefuse});
  cases.push_back({"osslsigncode's own unsigned attribute",
                   ReadFileBytes(CorpusPath("unauthenticated_blob.exe")), kOnlyWeRefuse});

  // Releases 2.5 (Debian 12) and 2.9 (its backports) give the same verdicts
  // but where a case says otherwise.
  SCOPED_TRACE(OsslsigncodeVersion());
  for (const Case& c : cases) {
    ScratchFile file("tampered.exe", c.bytes);
    const bool ours = WeAccept(file.path());
    const bool theirs = OsslsigncodeAccepts(file.path());
    if (c.verdict == kAgree) {
      EXPECT_EQ(ours, theirs) << c.what;
    } else {
      EXPECT_FALSE(ours) << c.what;
      if (c.verdict == kOnlyWeRefuse) {
        EXPECT_TRUE(theirs) << c.what;
      }
    }
  }
}

}  // namespace
}  // namespace updater
