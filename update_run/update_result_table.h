#ifndef UPDATE_RUN_UPDATE_RESULT_TABLE_H_
#define UPDATE_RUN_UPDATE_RESULT_TABLE_H_

// What each exit code of update_result.h means, for whoever reads one: the
// browser (through browser_api/) and documentation. The names and wording
// are stable: add rows, never change one.

#include <span>

#include "update_run/update_result.h"

namespace updater {

// Which part of a run gives a code. The flows number their failures apart,
// so a code of one flow may mean something else in the other.
enum class ResultSource { kRun, kBrowserFlow, kFlashFlow };

struct UpdateResultRow {
  UpdateResult code;
  ResultSource source;
  const char* name;         // the constant's name without its "k"
  const char* description;  // one line, English
  bool is_failure;          // as the dialog tells it: above 0 and not 4
};

std::span<const UpdateResultRow> UpdateResultTable();

// The row for `code` as `source` gives it (kRun rows serve both flows);
// with kRun, the first row of that code whoever gives it. Null when none.
const UpdateResultRow* FindUpdateResult(UpdateResult code, ResultSource source);

}  // namespace updater

#endif  // UPDATE_RUN_UPDATE_RESULT_TABLE_H_
