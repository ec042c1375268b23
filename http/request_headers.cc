#include "http/request_headers.h"

#include <optional>

#include "base/string_util.h"

namespace updater {
namespace {

bool IsTokenCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::pair<std::string, std::string>> ParseLine(std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return std::nullopt;
  const std::string_view name = line.substr(0, colon);
  for (char c : name) {
    if (!IsTokenCharacter(c)) return std::nullopt;
  }
  const std::string_view value = TrimBlanks(line.substr(colon + 1));
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t') || byte == 0x7F) return std::nullopt;
  }
  return std::make_pair(std::string(name), std::string(value));
}

}  // namespace

bool RequestHeaders::AddCoalescing(std::u16string_view lines) {
  const std::string text = UTF16ToUTF8(lines);
  std::vector<Header> parsed;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    if (line.empty()) continue;
    auto header = ParseLine(line);
    if (!header) return false;
    parsed.push_back(std::move(*header));
  }
  for (auto& [name, value] : parsed) {
    auto existing = headers_.begin();
    while (existing != headers_.end() && !EqualsCaseInsensitiveASCII(existing->first, name)) {
      ++existing;
    }
    if (existing == headers_.end()) {
      headers_.emplace_back(std::move(name), std::move(value));
    } else {
      existing->second += "; " + value;
    }
  }
  return true;
}

std::vector<std::string> RequestHeaders::ToLines() const {
  std::vector<std::string> lines;
  lines.reserve(headers_.size());
  for (const auto& [name, value] : headers_) lines.push_back(name + ": " + value);
  return lines;
}

}  // namespace updater
