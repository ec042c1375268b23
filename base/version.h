#ifndef BASE_VERSION_H_
#define BASE_VERSION_H_

#include <cstdint>
#include <string_view>
#include <vector>

namespace updater {

// A dotted version number such as 55.0.2883.87. One that did not parse has no
// components and is invalid.
class Version {
 public:
  Version() = default;
  explicit Version(std::vector<uint32_t> components) : components_(std::move(components)) {}

  bool IsValid() const { return !components_.empty(); }
  // The sign of this minus `other`; missing trailing components count as 0.
  int CompareTo(const Version& other) const;
  const std::vector<uint32_t>& components() const { return components_; }

 private:
  std::vector<uint32_t> components_;
};

// Digits only in every piece, each at most 4294967295; the first piece may
// not have a leading zero.
Version ParseVersion(std::string_view text);

}  // namespace updater

#endif  // BASE_VERSION_H_
