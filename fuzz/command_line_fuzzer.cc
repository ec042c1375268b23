// Splits arbitrary UTF-16 text as a command string, parses it, writes it back
// and reads that again: the switches must survive the round trip, except
// those whose names hold a blank, tab or quotation mark, which are written
// out as they stand.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/command_line.h"

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
  for (const auto& [name, value] : parsed.Switches()) {
    if (name.find_first_of(" \t\"") != std::string::npos) return 0;
  }
  const updater::ParsedCommandLine reparsed =
      updater::ParsedCommandLine::FromCommandString(parsed.ToCommandString());
  if (reparsed.Switches() != parsed.Switches()) std::abort();
  return 0;
}
