// Splits arbitrary UTF-16 text as a command string and parses it; for printable
// ASCII text, writing the result back and reading it again must give the same
// switches. The round trip cannot hold beyond that: switch names are written
// out as they stand after narrowing to their low bytes, the program name is
// read without escapes, an empty item is written as nothing at all, and a
// switch of an empty name and value ("-=") is written as its bare prefix,
// which reads back as an argument.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/command_line.h"

namespace {

bool IsPrintableAscii(char16_t c) {
  return c == u'\t' || (c >= u' ' && c <= u'~');
}

bool CanRoundTrip(const updater::ParsedCommandLine& parsed) {
  if (parsed.program().empty() || parsed.program().find(u'"') != std::u16string_view::npos)
    return false;
  for (const auto& [name, value] : parsed.Switches()) {
    if (name.empty() || name.find_first_of(" \t\"") != std::string::npos) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string command(size / 2, u'\0');
  for (size_t i = 0; i < command.size(); ++i) {
    command[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const updater::ParsedCommandLine parsed = updater::ParsedCommandLine::FromCommandString(command);
  for (const auto& [name, value] : parsed.Switches()) {
    (void)parsed.GetAsciiValue(name);
    (void)parsed.GetPathValue(name);
  }
  const std::u16string written = parsed.ToCommandString();
  if (!std::all_of(command.begin(), command.end(), IsPrintableAscii) || !CanRoundTrip(parsed)) {
    return 0;
  }
  if (updater::ParsedCommandLine::FromCommandString(written).Switches() != parsed.Switches()) {
    std::abort();
  }
  return 0;
}
