#include "base/command_line.h"

#include <array>
#include <memory>

#include "base/at_exit.h"
#include "base/command_string_split.h"
#include "base/process_facts_platform.h"
#include "base/string_util.h"

namespace updater {
namespace {

constexpr std::array<std::u16string_view, 3> kSwitchPrefixes = {u"--", u"-", u"/"};
constexpr std::u16string_view kSwitchTerminator = u"--";
constexpr std::u16string_view kDefaultSwitchPrefix = u"--";
constexpr char16_t kSwitchValueSeparator = u'=';

// The length of the prefix `text` starts with, 0 for none.
size_t SwitchPrefixLength(std::u16string_view text) {
  for (std::u16string_view prefix : kSwitchPrefixes) {
    if (text.starts_with(prefix)) return prefix.size();
  }
  return 0;
}

size_t SwitchPrefixLength(std::string_view text) {
  return SwitchPrefixLength(ASCIIToUTF16(text.substr(0, 2)));
}

struct SwitchParts {
  std::u16string_view name;  // prefix included
  std::u16string_view value;
};

// Splits `item` when it is a switch: a prefix followed by something.
bool ParseSwitch(std::u16string_view item, SwitchParts& parts) {
  const size_t prefix_length = SwitchPrefixLength(item);
  if (prefix_length == 0 || prefix_length == item.size()) return false;
  const size_t separator = item.find(kSwitchValueSeparator);
  parts.name = item.substr(0, separator);
  parts.value =
      separator == std::u16string_view::npos ? std::u16string_view() : item.substr(separator + 1);
  return true;
}

// Switch names are narrow: each character keeps its low 8 bits, except that
// a character outside ASCII never becomes an ASCII one ("\u016Cangid" must
// not read as "langid"): its high bit stays set.
std::string NarrowSwitchName(std::u16string_view name) {
  std::string narrow(name.size(), '\0');
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    narrow[i] = static_cast<char>(c < 0x80 ? c : 0x80 | (c & 0x7F));
  }
  return narrow;
}

ParsedCommandLine* g_current_process_command_line = nullptr;

}  // namespace

ParsedCommandLine::ParsedCommandLine(std::u16string_view program)
    : items_{std::u16string(TrimWhitespace(program))} {}

ParsedCommandLine ParsedCommandLine::FromCommandString(std::u16string_view command) {
  return FromItems(SplitCommandString(TrimWhitespace(command)));
}

ParsedCommandLine ParsedCommandLine::FromArguments(const std::vector<std::u16string>& arguments) {
  // An argument list that is nothing but white space is an empty command
  // string, as a trimmed Windows command line would be.
  for (const std::u16string& argument : arguments) {
    if (!TrimWhitespace(argument).empty()) return FromItems(arguments);
  }
  return ParsedCommandLine(u"");
}

ParsedCommandLine ParsedCommandLine::FromItems(const std::vector<std::u16string>& items) {
  if (items.empty()) return ParsedCommandLine(u"");
  ParsedCommandLine command_line(items.front());
  bool parse_switches = true;
  for (size_t i = 1; i < items.size(); ++i) {
    const std::u16string_view item = TrimWhitespace(items[i]);
    if (item == kSwitchTerminator) parse_switches = false;
    SwitchParts parts;
    if (parse_switches && ParseSwitch(item, parts)) {
      command_line.AddSwitch(NarrowSwitchName(parts.name), parts.value);
    } else {
      command_line.AddArgument(item);
    }
  }
  return command_line;
}

bool ParsedCommandLine::IsPresent(std::string_view name) const {
  return switches_.contains(std::string(name));
}

std::u16string ParsedCommandLine::GetValue(std::string_view name) const {
  const auto it = switches_.find(std::string(name));
  return it == switches_.end() ? std::u16string() : it->second;
}

std::string ParsedCommandLine::GetAsciiValue(std::string_view name) const {
  const std::u16string value = GetValue(name);
  if (!IsStringASCII(value)) return std::string();
  return std::string(value.begin(), value.end());
}

FsPath ParsedCommandLine::GetPathValue(std::string_view name) const {
  return FsPath(GetValue(name));
}

void ParsedCommandLine::AddSwitch(std::string_view name, std::u16string_view value) {
  const std::string lowered = ToLowerASCII(name);
  const size_t prefix_length = SwitchPrefixLength(lowered);
  switches_.insert_or_assign(lowered.substr(prefix_length), std::u16string(value));

  std::u16string item;
  if (prefix_length == 0) item = kDefaultSwitchPrefix;
  item += ASCIIToUTF16(lowered);
  if (!value.empty()) {
    item += kSwitchValueSeparator;
    item += value;
  }
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(first_argument_), std::move(item));
  ++first_argument_;
}

void ParsedCommandLine::AddArgument(std::u16string_view text) {
  items_.emplace_back(text);
}

void ParsedCommandLine::AddArgument(std::string_view utf8_text) {
  items_.push_back(UTF8ToUTF16(utf8_text));
}

std::u16string ParsedCommandLine::ToCommandString() const {
  std::u16string command = QuoteArgument(items_.front());
  bool parse_switches = true;
  for (size_t i = 1; i < items_.size(); ++i) {
    const std::u16string& item = items_[i];
    command += u' ';
    if (item == kSwitchTerminator) parse_switches = false;
    SwitchParts parts;
    if (parse_switches && ParseSwitch(item, parts)) {
      command += parts.name;
      if (!parts.value.empty()) {
        command += kSwitchValueSeparator;
        command += QuoteArgument(parts.value);
      }
    } else {
      command += QuoteArgument(item);
    }
  }
  return command;
}

std::u16string QuoteArgument(std::u16string_view text) {
  // A tab separates items just as a blank does, so it needs quoting too.
  if (text.find_first_of(u" \t\\\"") == std::u16string_view::npos) return std::u16string(text);
  std::u16string quoted = u"\"";
  size_t backslashes = 0;
  for (const char16_t c : text) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quotation mark are doubled; elsewhere they stand.
    quoted.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, u'\\');  // they precede the closing mark
  quoted += u'"';
  return quoted;
}

// Parsed on first use, which the entry point makes before any other thread
// starts; later calls only read it.
const ParsedCommandLine& CurrentProcessCommandLine() {
  if (g_current_process_command_line == nullptr) {
    g_current_process_command_line = new ParsedCommandLine(
        ParsedCommandLine::FromArguments(platform::CurrentProcessArguments()));
    AtExitManager::RegisterCallback([] {
      delete g_current_process_command_line;
      g_current_process_command_line = nullptr;
    });
  }
  return *g_current_process_command_line;
}

}  // namespace updater
