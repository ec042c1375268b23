#include "http/header_values.h"

#include "http/header_pattern.h"

namespace updater {

std::vector<std::u16string> FindHeaderValues(std::u16string_view pattern,
                                             std::u16string_view text) {
  std::vector<std::u16string> values;
  HeaderPattern header_pattern;
  // A search that gives up early still hands back what it found.
  header_pattern.FindAll(pattern, /*case_sensitive=*/false, /*group_count=*/1, text, &values,
                         /*keep_duplicates=*/false);
  return values;
}

std::u16string FindFirstHeaderValue(std::u16string_view pattern, std::u16string_view text) {
  std::vector<std::u16string> values = FindHeaderValues(pattern, text);
  return values.empty() ? std::u16string() : std::move(values.front());
}

}  // namespace updater
