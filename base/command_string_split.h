#ifndef BASE_COMMAND_STRING_SPLIT_H_
#define BASE_COMMAND_STRING_SPLIT_H_

#include <string>
#include <string_view>
#include <vector>

namespace updater {

// Splits a command string into items by the Windows argument rules: the
// program (item 0) ends at the next quotation mark when it starts with one,
// else at the next blank or tab, with no escapes; later items are separated by
// blanks and tabs outside quotation marks, 2n backslashes before a quotation
// mark give n backslashes and toggle quoting, 2n+1 give n backslashes and a
// literal quotation mark, and inside quotation marks "" gives a literal one
// and ends the quoted part (the behaviour of the system's own splitter).
// An empty string yields no items.
std::vector<std::u16string> SplitCommandString(std::u16string_view command);

}  // namespace updater

#endif  // BASE_COMMAND_STRING_SPLIT_H_
