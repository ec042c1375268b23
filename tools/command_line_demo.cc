// Shows what the support library makes of a real command line: the switches
// in their order, the command string written back, the browser version
// against the legacy threshold, and a line in debug.log.
#include <iostream>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/logging.h"
#include "base/string_util.h"
#include "base/version.h"

int main() {
  updater::AtExitManager at_exit;
  const updater::ParsedCommandLine& command_line = updater::CurrentProcessCommandLine();
  std::cout << "program: " << updater::UTF16ToUTF8(command_line.program()) << "\nswitches:\n";
  for (const auto& [name, value] : command_line.Switches()) {
    std::cout << "  " << name << " = \"" << updater::UTF16ToUTF8(value) << "\"\n";
  }
  std::cout << "written back: " << updater::UTF16ToUTF8(command_line.ToCommandString()) << "\n";

  const updater::Version current = updater::ParseVersion(command_line.GetAsciiValue("current"));
  const updater::Version legacy = updater::ParseVersion("1.3.7.17");
  std::cout << "current version valid: " << current.IsValid()
            << ", compared with 1.3.7.17: " << current.CompareTo(legacy) << "\n";

  LOG(INFO) << "demo run with " << command_line.Switches().size() << " switches, errno=" << std::hex
            << 1223;
  std::cout << "a line was appended to debug.log beside the executable\n";
  return 0;
}
