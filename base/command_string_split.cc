#include "base/command_string_split.h"

namespace updater {
namespace {

bool IsSeparator(char16_t c) {
  return c == u' ' || c == u'\t';
}

// The program name has rules of its own: no escapes, and a quoted name ends at
// the next quotation mark whatever follows it.
std::u16string TakeProgram(std::u16string_view command, size_t& pos) {
  std::u16string program;
  if (command[pos] == u'"') {
    ++pos;
    while (pos < command.size() && command[pos] != u'"') program.push_back(command[pos++]);
    if (pos < command.size()) ++pos;  // the closing quotation mark
  } else {
    while (pos < command.size() && !IsSeparator(command[pos])) program.push_back(command[pos++]);
  }
  return program;
}

// Reads one later item starting at `pos` (not a separator). `quotes` counts
// the quotation marks of the current run as the system splitter does: 1 means
// inside quotation marks; a third mark in a row is a literal one and leaves
// the quoted part.
std::u16string TakeItem(std::u16string_view command, size_t& pos) {
  std::u16string item;
  int quotes = 0;
  size_t backslashes = 0;
  while (pos < command.size()) {
    const char16_t c = command[pos];
    if (quotes == 0 && IsSeparator(c)) break;
    ++pos;
    if (c == u'\\') {
      ++backslashes;
      item.push_back(c);
      continue;
    }
    if (c != u'"') {
      backslashes = 0;
      item.push_back(c);
      continue;
    }
    item.resize(item.size() - backslashes / 2);
    if (backslashes % 2 == 1) {
      item.back() = u'"';  // replaces the escaping backslash
      backslashes = 0;
      continue;
    }
    backslashes = 0;
    ++quotes;
    for (; pos < command.size() && command[pos] == u'"'; ++pos) {
      if (++quotes == 3) {
        item.push_back(u'"');
        quotes = 0;
      }
    }
    if (quotes == 2) quotes = 0;
  }
  return item;
}

}  // namespace

std::vector<std::u16string> SplitCommandString(std::u16string_view command) {
  std::vector<std::u16string> items;
  if (command.empty()) return items;
  size_t pos = 0;
  items.push_back(TakeProgram(command, pos));
  while (true) {
    while (pos < command.size() && IsSeparator(command[pos])) ++pos;
    if (pos == command.size()) break;
    items.push_back(TakeItem(command, pos));
  }
  return items;
}

}  // namespace updater
