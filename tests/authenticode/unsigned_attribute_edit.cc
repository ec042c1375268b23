#include "tests/authenticode/unsigned_attribute_edit.h"

#include <optional>
#include <span>
#include <stdexcept>

#include "authenticode/der_reader.h"

namespace updater {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kUnsignedAttributesTag = 0xa1;
constexpr uint8_t kExplicitContentTag = 0xa0;

Bytes Der(uint8_t tag, const Bytes& contents) {
  Bytes out = {tag};
  const size_t size = contents.size();
  if (size < 0x80) {
    out.push_back(static_cast<uint8_t>(size));
  } else {
    Bytes length;
    for (size_t rest = size; rest; rest >>= 8) length.insert(length.begin(), rest & 0xff);
    out.push_back(static_cast<uint8_t>(0x80 | length.size()));
    out.insert(out.end(), length.begin(), length.end());
  }
  out.insert(out.end(), contents.begin(), contents.end());
  return out;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Each element of `contents` as encoded, tag and length included.
std::vector<Bytes> Elements(std::span<const uint8_t> contents) {
  std::vector<Bytes> elements;
  DerReader reader(contents);
  while (!reader.AtEnd()) {
    const std::span<const uint8_t> before = reader.rest();
    if (!reader.Next()) throw std::runtime_error("not DER");
    elements.emplace_back(before.begin(), before.end() - reader.rest().size());
  }
  return elements;
}

std::span<const uint8_t> Contents(const Bytes& element) {
  DerReader reader(element);
  const std::optional<DerElement> parsed = reader.Next();
  if (!parsed) throw std::runtime_error("not DER");
  return parsed->value;
}

Bytes Concatenated(const std::vector<Bytes>& elements) {
  Bytes out;
  for (const Bytes& element : elements) out = Join(out, element);
  return out;
}

Bytes SignerWithAttributes(const Bytes& signer, const Bytes& attributes) {
  std::vector<Bytes> fields = Elements(Contents(signer));
  if (fields.back()[0] == kUnsignedAttributesTag) fields.pop_back();
  fields.push_back(Der(kUnsignedAttributesTag, attributes));
  return Der(kDerSequence, Concatenated(fields));
}

Bytes ContentInfoWithAttributes(std::span<const uint8_t> content_info, const Bytes& attributes) {
  const std::vector<Bytes> info = Elements(content_info);
  const Bytes signed_data = Elements(Contents(info.at(0))).at(1);
  const Bytes inner = Elements(Contents(signed_data)).at(0);
  std::vector<Bytes> fields = Elements(Contents(inner));
  const std::vector<Bytes> signers = Elements(Contents(fields.back()));
  fields.back() = Der(kDerSet, SignerWithAttributes(signers.at(0), attributes));
  const Bytes new_signed_data = Der(kDerSequence, Concatenated(fields));
  return Der(kDerSequence,
             Join(Elements(Contents(info.at(0))).at(0), Der(kExplicitContentTag, new_signed_data)));
}

uint32_t Get32(const Bytes& bytes, size_t offset) {
  return bytes.at(offset) | bytes.at(offset + 1) << 8 | bytes.at(offset + 2) << 16 |
         static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

void Set32(Bytes& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

size_t SecurityDirectoryOffset(const Bytes& image) {
  const size_t nt = Get32(image, 0x3c);
  const size_t optional_header = nt + 24;
  const bool pe32_plus = image.at(optional_header) == 0x0b && image.at(optional_header + 1) == 0x02;
  return optional_header + (pe32_plus ? 112 : 96) + 4 * 8;
}

}  // namespace

Bytes MakeAttribute(const Bytes& oid, size_t contents_size) {
  const Bytes identifier = Der(kDerObjectIdentifier, oid);
  // Lengths up to 64 KiB take at most 4 bytes each for the set and the string.
  size_t value_size = contents_size - identifier.size();
  Bytes attribute;
  for (size_t overhead = 4; overhead <= 8; ++overhead) {
    value_size = contents_size - identifier.size() - overhead;
    attribute = Join(identifier, Der(kDerSet, Der(kDerOctetString, Bytes(value_size, 'A'))));
    if (attribute.size() == contents_size) return Der(kDerSequence, attribute);
  }
  throw std::runtime_error("no attribute of that size");
}

Bytes WithUnsignedAttributes(const Bytes& signed_image, const Bytes& attributes) {
  const size_t directory = SecurityDirectoryOffset(signed_image);
  const size_t table = Get32(signed_image, directory);
  const uint32_t entry_length = Get32(signed_image, table);
  const std::span<const uint8_t> payload(signed_image.data() + table + 8, entry_length - 8);
  DerReader reader(payload);
  const std::span<const uint8_t> before = reader.rest();
  if (!reader.Next(kDerSequence)) throw std::runtime_error("not signed");
  const Bytes content_info =
      ContentInfoWithAttributes(before.first(before.size() - reader.rest().size()), attributes);

  Bytes image(signed_image.begin(), signed_image.begin() + table);
  const size_t new_length = 8 + content_info.size();
  image.resize(table + 8);
  Set32(image, table, static_cast<uint32_t>(new_length));
  Set32(image, table + 4, 0x00020200);  // revision 2.0, PKCS#7
  image = Join(image, content_info);
  image.resize(table + ((new_length + 7) & ~size_t{7}), 0);
  Set32(image, directory + 4, static_cast<uint32_t>(image.size() - table));
  return image;
}

std::string WithUnsignedAttributes(const std::string& signed_image, const Bytes& attributes) {
  const Bytes edited =
      WithUnsignedAttributes(Bytes(signed_image.begin(), signed_image.end()), attributes);
  return std::string(edited.begin(), edited.end());
}

}  // namespace updater
