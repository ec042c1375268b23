#include "authenticode/installer_signature.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "authenticode/installer_signature_check_linux.h"
#include "authenticode/unsigned_attributes.h"
#include "tests/authenticode/signature_corpus.h"
#include "tests/authenticode/test_pe_image.h"
#include "tests/authenticode/unsigned_attribute_edit.h"

namespace updater {
namespace {

// Where the test images keep their fields (NT headers at 0x80).
constexpr size_t kTimeStampOffset = 0x88;
constexpr size_t kChecksumOffset = 0xd8;
constexpr size_t kSectionStart = 0x200;

struct Table {
  size_t offset;
  size_t size;
};

Table TableOf(const std::vector<uint8_t>& image) {
  const size_t entry = SecurityEntryOffset(image);
  return {GetLittleEndian32(image, entry), GetLittleEndian32(image, entry + 4)};
}

SignatureStatus CheckBytes(const std::vector<uint8_t>& bytes) {
  ScratchFile file("checked.exe", bytes);
  return CheckInstallerSignature(file.fs_path(), CorpusAnchors("root.pem"));
}

TEST(InstallerSignatureTest, CorpusVerdicts) {
  struct Case {
    const char* file;
    SignatureStatus expected;
  };
  const Case cases[] = {
      {"pe32_sha1.exe", SignatureStatus::kTrusted},
      {"pe32_sha256.exe", SignatureStatus::kTrusted},
      {"pe32_sha384.exe", SignatureStatus::kTrusted},
      {"pe32plus_sha1.exe", SignatureStatus::kTrusted},
      {"pe32plus_sha256.exe", SignatureStatus::kTrusted},
      {"pe32plus_sha512.exe", SignatureStatus::kTrusted},
      {"expired_leaf.exe", SignatureStatus::kTrustedOutsideValidity},
      {"future_leaf.exe", SignatureStatus::kTrustedOutsideValidity},
      {"expired_intermediate.exe", SignatureStatus::kTrustedOutsideValidity},
      {"server_auth_leaf.exe", SignatureStatus::kNotForCodeSigning},
      {"any_use_leaf.exe", SignatureStatus::kNotForCodeSigning},
      {"any_use_intermediate.exe", SignatureStatus::kTrusted},
      {"nested_signature.exe", SignatureStatus::kTrusted},
      {"unauthenticated_blob.exe", SignatureStatus::kMalformedSignature},
      {"unknown_root.exe", SignatureStatus::kUntrustedChain},
      {"missing_intermediate.exe", SignatureStatus::kUntrustedChain},
      {"unsigned_pe32.exe", SignatureStatus::kUnsigned},
      {"unsigned_pe32plus.exe", SignatureStatus::kUnsigned},
      {"text.txt", SignatureStatus::kNotPeImage},
      {"no_such_file.exe", SignatureStatus::kUnreadableFile},
      {"", SignatureStatus::kUnreadableFile},  // the corpus directory itself
  };
  const TrustAnchors anchors = CorpusAnchors("root.pem");
  for (const Case& c : cases) {
    const FsPath path = ToFsPath(CorpusPath(c.file));
    EXPECT_EQ(CheckInstallerSignature(path, anchors), c.expected) << c.file;
    EXPECT_EQ(VerifyInstallerSignature(path, anchors), IsTrusted(c.expected)) << c.file;
  }
  EXPECT_FALSE(VerifyInstallerSignature(FsPath(), anchors));
}

TEST(InstallerSignatureTest, TrustFollowsTheAnchors) {
  const FsPath ours = ToFsPath(CorpusPath("pe32_sha256.exe"));
  const FsPath theirs = ToFsPath(CorpusPath("unknown_root.exe"));
  const TrustAnchors other_root = CorpusAnchors("other_root.pem");
  EXPECT_EQ(CheckInstallerSignature(theirs, other_root), SignatureStatus::kTrusted);
  EXPECT_EQ(CheckInstallerSignature(ours, other_root), SignatureStatus::kUntrustedChain);
  // An intermediate is not an anchor: chains must end in a root.
  EXPECT_FALSE(VerifyInstallerSignature(ours, CorpusAnchors("intermediate.pem")));
  EXPECT_FALSE(VerifyInstallerSignature(ours, TrustAnchors::FromPem("")));
  EXPECT_FALSE(
      VerifyInstallerSignature(ours, TrustAnchors::FromPem("-----BEGIN CERTIFICATE-----\nAAAA")));
  // The build used no anchors of its own, so the machine's bundle decides,
  // and it does not know the test root.
  EXPECT_FALSE(VerifyInstallerSignature(ours));
  EXPECT_FALSE(VerifyInstallerSignature(FsPath(u"/no/such/installer.exe")));
}

TEST(InstallerSignatureTest, TamperedCopiesAreRejected) {
  for (const char* name : {"pe32_sha256.exe", "pe32plus_sha1.exe"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> original = ReadFileBytes(CorpusPath(name));
    ASSERT_EQ(CheckBytes(original), SignatureStatus::kTrusted);
    const Table table = TableOf(original);
    const size_t entry = SecurityEntryOffset(original);
    ASSERT_EQ(table.offset + table.size, original.size());

    auto tampered = [&](const std::function<void(std::vector<uint8_t>&)>& change) {
      std::vector<uint8_t> copy = original;
      change(copy);
      return CheckBytes(copy);
    };
    auto flip = [](size_t offset) {
      return [offset](std::vector<uint8_t>& b) { b[offset] ^= 0x01; };
    };
    EXPECT_EQ(tampered(flip(0x02)), SignatureStatus::kImageDigestMismatch);  // DOS header
    EXPECT_EQ(tampered(flip(kTimeStampOffset)), SignatureStatus::kImageDigestMismatch);
    EXPECT_EQ(tampered(flip(entry + 8)), SignatureStatus::kImageDigestMismatch);  // next entry
    EXPECT_EQ(tampered(flip(kSectionStart + 100)), SignatureStatus::kImageDigestMismatch);
    EXPECT_EQ(tampered(flip(table.offset - 1)), SignatureStatus::kImageDigestMismatch);
    // The checksum is left out of the digest on purpose.
    EXPECT_EQ(tampered(flip(kChecksumOffset)), SignatureStatus::kTrusted);

    // In the signature: the last bytes of the DER are the signer's signature value.
    ASSERT_EQ(GetLittleEndian32(original, table.offset + 8) & 0xffff, 0x8230u);  // long DER
    const size_t der_size = 4 + (original[table.offset + 10] << 8 | original[table.offset + 11]);
    const size_t der_end = table.offset + 8 + der_size;
    ASSERT_LT(der_end, original.size());  // room for padding behind the entry
    EXPECT_EQ(tampered(flip(der_end - 1)), SignatureStatus::kBadSignerSignature);
    for (size_t offset = table.offset + 8; offset < der_end; offset += 97) {
      EXPECT_FALSE(IsTrusted(tampered(flip(offset)))) << "signature byte " << offset;
    }

    // Lengths and offsets of the table.
    EXPECT_EQ(
        tampered([&](std::vector<uint8_t>& b) { SetLittleEndian32(b, entry + 4, table.size + 8); }),
        SignatureStatus::kNotPeImage);
    EXPECT_EQ(tampered(flip(entry + 7)), SignatureStatus::kNotPeImage);  // size's top byte
    EXPECT_EQ(tampered([&](std::vector<uint8_t>& b) {
                SetLittleEndian32(b, entry, static_cast<uint32_t>(b.size()));
              }),
              SignatureStatus::kNotPeImage);  // points past the end
    EXPECT_EQ(tampered(flip(table.offset + 3)), SignatureStatus::kMalformedSignature);
    EXPECT_EQ(tampered([&](std::vector<uint8_t>& b) {
                SetLittleEndian32(b, table.offset, table.size + 8);
              }),
              SignatureStatus::kMalformedSignature);  // entry longer than the table
    EXPECT_EQ(tampered(flip(table.offset + 5)), SignatureStatus::kMalformedSignature);  // revision
    EXPECT_EQ(tampered(flip(table.offset + 6)), SignatureStatus::kMalformedSignature);  // type
    EXPECT_EQ(tampered([](std::vector<uint8_t>& b) { b.resize(b.size() - 16); }),
              SignatureStatus::kNotPeImage);  // table cut short
    EXPECT_EQ(tampered([](std::vector<uint8_t>& b) { b.resize(kSectionStart + 10); }),
              SignatureStatus::kNotPeImage);
    EXPECT_EQ(tampered([](std::vector<uint8_t>& b) { b.resize(0x90); }),
              SignatureStatus::kNotPeImage);
    // Bytes smuggled into the table behind the signature.
    EXPECT_EQ(tampered([&](std::vector<uint8_t>& b) {
                b.insert(b.end(), 16, 0x41);
                SetLittleEndian32(b, entry + 4, table.size + 16);
                SetLittleEndian32(b, table.offset, GetLittleEndian32(b, table.offset) + 16);
              }),
              SignatureStatus::kMalformedSignature);

    // The table must end the file, after the image, and hold the signature alone.
    auto grow_table = [&](std::vector<uint8_t>& b, size_t bytes) {
      b.resize(b.size() + bytes, 0);
      SetLittleEndian32(b, entry + 4, static_cast<uint32_t>(table.size + bytes));
    };
    auto trim_entry = [&](std::vector<uint8_t>& b) {
      SetLittleEndian32(b, table.offset, static_cast<uint32_t>(der_end - table.offset));
    };
    const std::vector<
        std::tuple<const char*, std::function<void(std::vector<uint8_t>&)>, SignatureStatus>>
        placements = {
            {"entry trimmed to the DER, zeros after it", trim_entry, SignatureStatus::kTrusted},
            {"moved into the section",
             [](std::vector<uint8_t>& b) { b = TableMovedIntoFirstSection(b); },
             SignatureStatus::kNotPeImage},
            {"starting in the section",
             [&](std::vector<uint8_t>& b) {
               SetLittleEndian32(b, entry, static_cast<uint32_t>(table.offset - 8));
               SetLittleEndian32(b, entry + 4, static_cast<uint32_t>(table.size + 8));
             },
             SignatureStatus::kNotPeImage},
            {"bytes appended after it", [](std::vector<uint8_t>& b) { b.insert(b.end(), 8, 0); },
             SignatureStatus::kNotPeImage},
            {"not 8-byte aligned",
             [&](std::vector<uint8_t>& b) {
               b.insert(b.begin() + table.offset, 4, 0);
               SetLittleEndian32(b, entry, static_cast<uint32_t>(table.offset + 4));
             },
             SignatureStatus::kNotPeImage},
            {"second entry after the signature",
             [](std::vector<uint8_t>& b) { b = WithSecondEntry(b); },
             SignatureStatus::kMalformedSignature},
            {"8 zero bytes after the entry", [&](std::vector<uint8_t>& b) { grow_table(b, 8); },
             SignatureStatus::kMalformedSignature},
            {"zero bytes past the padded entry",
             [&](std::vector<uint8_t>& b) {
               trim_entry(b);
               grow_table(b, 4);
             },
             SignatureStatus::kMalformedSignature},
            {"non-zero padding after the entry",
             [&](std::vector<uint8_t>& b) {
               trim_entry(b);
               b[der_end] = 0x01;
             },
             SignatureStatus::kMalformedSignature},
        };
    for (const auto& [what, change, expected] : placements) {
      EXPECT_EQ(tampered(change), expected) << what;
    }
  }
}

TEST(InstallerSignatureTest, ChangedSignedDataFieldsAreCaught) {
  const std::vector<uint8_t> original = ReadFileBytes(CorpusPath("pe32plus_sha256.exe"));
  const std::array<uint8_t, 11> sha256_oid = {0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                              0x65, 0x03, 0x04, 0x02, 0x01};
  auto find_oid = [&](std::vector<uint8_t>& image, size_t occurrence) {
    auto at = image.begin() + TableOf(image).offset;
    for (size_t i = 0; i <= occurrence && at != image.end(); ++i) {
      at = std::search(at + (i ? 1 : 0), image.end(), sha256_oid.begin(), sha256_oid.end());
    }
    return at;
  };
  // First the SignedData's digest algorithms: an unknown one is refused
  // before OpenSSL gets to set it up.
  std::vector<uint8_t> image = original;
  auto digest_algorithms = find_oid(image, 0);
  ASSERT_NE(digest_algorithms, image.end());
  digest_algorithms[sha256_oid.size() - 1] = 0x11;
  EXPECT_EQ(CheckBytes(image), SignatureStatus::kMalformedSignature);

  // Then the SpcIndirectDataContent, whose digest the signer's message
  // digest covers.
  image = original;
  auto image_digest = find_oid(image, 1);
  ASSERT_NE(image_digest, image.end());
  ASSERT_EQ(image_digest[sha256_oid.size() + 2], 0x04);  // after NULL parameters
  image_digest[sha256_oid.size() + 4] ^= 0x80;
  EXPECT_EQ(CheckBytes(image), SignatureStatus::kBadSignerSignature);
}

// The signer's signature does not cover its unsigned attributes: only the
// known kinds, once each and within their limits, may be there.
TEST(InstallerSignatureTest, UnsignedAttributesAreOnlyTheKnownOnesWithinTheirLimits) {
  const std::vector<uint8_t> original = ReadFileBytes(CorpusPath("pe32plus_sha256.exe"));
  const std::vector<uint8_t> countersignature = MakeAttribute(kCountersignatureOid, 2000);
  const std::vector<uint8_t> timestamp = MakeAttribute(kTimestampOid, kMaxTimestampSize);
  const std::vector<uint8_t> nested = MakeAttribute(kNestedSignatureOid, kMaxNestedSignatureSize);
  auto join = [](std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> attributes;
    SignatureStatus expected;
  } cases[] = {
      {"none", {}, SignatureStatus::kTrusted},
      {"each kind once, at its limit", join({countersignature, timestamp, nested}),
       SignatureStatus::kTrusted},
      {"58 KiB of an unknown kind", MakeAttribute(kUnknownAttributeOid, 58 * 1024),
       SignatureStatus::kMalformedSignature},
      {"a small one of an unknown kind", MakeAttribute(kUnknownAttributeOid, 40),
       SignatureStatus::kMalformedSignature},
      {"a known kind twice", join({timestamp, countersignature, timestamp}),
       SignatureStatus::kMalformedSignature},
      {"over its limit", MakeAttribute(kCountersignatureOid, kMaxCountersignatureSize + 1),
       SignatureStatus::kMalformedSignature},
      {"not an attribute", {0x04, 0x01, 0x00}, SignatureStatus::kMalformedSignature},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckBytes(WithUnsignedAttributes(original, c.attributes)), c.expected) << c.what;
  }
}

// An image with a table whose first entry holds `payload`.
std::vector<uint8_t> ImageWithSignature(const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> image = MakeTestPeImage(PeFormat::kPe32Plus, 1000);
  const size_t table_offset = image.size();
  const uint32_t length = static_cast<uint32_t>(payload.size() + 8);
  image.resize(table_offset + 8);
  SetLittleEndian32(image, table_offset, length);
  SetLittleEndian32(image, table_offset + 4, 0x00020200);  // revision 2.0, PKCS#7
  image.insert(image.end(), payload.begin(), payload.end());
  image.resize((image.size() + 7) / 8 * 8);
  SetLittleEndian32(image, SecurityEntryOffset(image), static_cast<uint32_t>(table_offset));
  SetLittleEndian32(image, SecurityEntryOffset(image) + 4,
                    static_cast<uint32_t>(image.size() - table_offset));
  return image;
}

TEST(InstallerSignatureTest, LyingFilesAreUntrusted) {
  EXPECT_EQ(CheckBytes(ImageWithSignature(std::vector<uint8_t>(300, 0xa5))),
            SignatureStatus::kMalformedSignature);
  // Nested lengths that claim gigabytes.
  EXPECT_EQ(CheckBytes(ImageWithSignature({0x30, 0x84, 0x7f, 0xff, 0xff, 0xff, 0x06, 0x09})),
            SignatureStatus::kMalformedSignature);
  EXPECT_EQ(CheckBytes(ImageWithSignature({0x30, 0x80, 0x30, 0x80, 0x30, 0x80, 0x00, 0x00})),
            SignatureStatus::kMalformedSignature);
  // A real signature from another image: its digest cannot match.
  std::vector<uint8_t> signed_image = ReadFileBytes(CorpusPath("pe32plus_sha256.exe"));
  const Table table = TableOf(signed_image);
  const std::vector<uint8_t> foreign(
      signed_image.begin() + table.offset + 8,
      signed_image.begin() + table.offset + GetLittleEndian32(signed_image, table.offset));
  EXPECT_EQ(CheckBytes(ImageWithSignature(foreign)), SignatureStatus::kImageDigestMismatch);

  // A gigabyte-long table claimed by a small file.
  std::vector<uint8_t> image = ImageWithSignature(foreign);
  SetLittleEndian32(image, SecurityEntryOffset(image) + 4, 0x40000000);
  EXPECT_EQ(CheckBytes(image), SignatureStatus::kNotPeImage);
  SetLittleEndian32(image, SecurityEntryOffset(image), 0xfffffff8);
  SetLittleEndian32(image, SecurityEntryOffset(image) + 4, 0x10);
  EXPECT_EQ(CheckBytes(image), SignatureStatus::kNotPeImage);
  SetLittleEndian32(image, 0x3c, 0xfffffffc);  // NT headers past the end
  EXPECT_EQ(CheckBytes(image), SignatureStatus::kNotPeImage);
}

TEST(InstallerSignatureTest, HugeTableInsideAHugeFileIsNotRead) {
  // A sparse 3 GiB file whose 2 GiB table really is inside it.
  std::vector<uint8_t> headers = MakeTestPeHeaders(PeFormat::kPe32, 1000);
  SetLittleEndian32(headers, SecurityEntryOffset(headers), 0x40000000);
  SetLittleEndian32(headers, SecurityEntryOffset(headers) + 4, 0x80000000);
  ScratchFile file("huge.exe", headers);
  ASSERT_EQ(truncate(file.path().c_str(), 0xc0000000), 0);
  EXPECT_EQ(CheckInstallerSignature(file.fs_path(), CorpusAnchors("root.pem")),
            SignatureStatus::kMalformedSignature);
}

TEST(InstallerSignatureTest, NonRegularFilesAreUnreadable) {
  ScratchFile fifo("fifo");
  ASSERT_EQ(mkfifo(fifo.path().c_str(), 0600), 0);
  EXPECT_EQ(CheckInstallerSignature(fifo.fs_path(), CorpusAnchors("root.pem")),
            SignatureStatus::kUnreadableFile);  // and does not wait for a writer
  ScratchFile unreadable("unreadable.exe", ReadFileBytes(CorpusPath("pe32_sha256.exe")));
  ASSERT_EQ(chmod(unreadable.path().c_str(), 0), 0);
  if (geteuid() != 0) {
    EXPECT_EQ(CheckInstallerSignature(unreadable.fs_path(), CorpusAnchors("root.pem")),
              SignatureStatus::kUnreadableFile);
  }
  // A lone surrogate has no native form; the file named by the replacement
  // character a lossy conversion would put there is never read in its place.
  ScratchFile look_alike("\xEF\xBF\xBD.exe", ReadFileBytes(CorpusPath("pe32_sha256.exe")));
  ASSERT_TRUE(IsTrusted(CheckInstallerSignature(look_alike.fs_path(), CorpusAnchors("root.pem"))));
  std::u16string lone_surrogate = look_alike.fs_path().value();
  lone_surrogate.replace(lone_surrogate.find(u'\xFFFD'), 1, u"\xD800");
  EXPECT_EQ(CheckInstallerSignature(FsPath(lone_surrogate), CorpusAnchors("root.pem")),
            SignatureStatus::kUnreadableFile);
}

}  // namespace
}  // namespace updater
