#ifndef BASE_COMMAND_LINE_H_
#define BASE_COMMAND_LINE_H_

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/fs_path.h"

namespace updater {

// A program, its switches and its positional arguments: read from a command
// string or argument list, or built up by the caller and written back as one
// command string that the Windows splitter reads the same way.
class ParsedCommandLine {
 public:
  // Switch names (lower-case ASCII, no prefix) to values, in byte order.
  using SwitchMap = std::map<std::string, std::u16string>;

  explicit ParsedCommandLine(std::u16string_view program);

  // Parses a command string split by the Windows rules.
  static ParsedCommandLine FromCommandString(std::u16string_view command);
  // Parses an argument list as a process got it (item 0 is the program).
  static ParsedCommandLine FromArguments(const std::vector<std::u16string>& arguments);

  bool IsPresent(std::string_view name) const;
  std::u16string GetValue(std::string_view name) const;
  // Empty unless every character of the value is ASCII.
  std::string GetAsciiValue(std::string_view name) const;
  FsPath GetPathValue(std::string_view name) const;
  const SwitchMap& Switches() const { return switches_; }

  std::u16string_view program() const { return items_.front(); }
  // The program, the switches and the positional arguments, each item as it
  // was given or added, in the order the command string lists them.
  const std::vector<std::u16string>& items() const { return items_; }

  void AddSwitch(std::string_view name, std::u16string_view value);
  void AddArgument(std::u16string_view text);
  void AddArgument(std::string_view utf8_text);

  std::u16string ToCommandString() const;

 private:
  // Parses items (item 0 the program) as the process's own command line.
  static ParsedCommandLine FromItems(const std::vector<std::u16string>& items);

  std::vector<std::u16string> items_;
  size_t first_argument_ = 1;
  SwitchMap switches_;
};

// Quotes `text` for the Windows splitter when it holds a blank, a tab, a
// backslash or a quotation mark; otherwise returns it unchanged.
std::u16string QuoteArgument(std::u16string_view text);

// The process's own command line, parsed on first use; it lives until the
// at-exit registry is torn down.
const ParsedCommandLine& CurrentProcessCommandLine();

}  // namespace updater

#endif  // BASE_COMMAND_LINE_H_
