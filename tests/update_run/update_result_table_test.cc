#include "update_run/update_result_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

namespace updater {
namespace {

// Every constant that update_result.h declares has its row, under its own
// name and number, so a new code cannot go out without a meaning.
TEST(UpdateResultTableTest, EveryDeclaredCodeHasOneRowAndLookupsTellTheFlowsApart) {
  std::ifstream header(UPDATER_UPDATE_RESULT_HEADER);
  std::stringstream text;
  text << header.rdbuf();
  const std::string declarations = text.str();
  const std::regex constant(R"(constexpr UpdateResult k(\w+) = (\d+);)");
  int declared = 0;
  for (std::sregex_iterator it(declarations.begin(), declarations.end(), constant), end; it != end;
       ++it, ++declared) {
    const std::string name = (*it)[1];
    const int code = std::stoi((*it)[2]);
    int rows = 0;
    for (const UpdateResultRow& row : UpdateResultTable()) {
      if (row.name == name) {
        ++rows;
        EXPECT_EQ(row.code, code) << name;
      }
    }
    EXPECT_EQ(rows, 1) << name;
  }
  EXPECT_EQ(declared, static_cast<int>(UpdateResultTable().size()));

  std::set<std::tuple<UpdateResult, ResultSource, std::string>> seen;
  for (const UpdateResultRow& row : UpdateResultTable()) {
    EXPECT_TRUE(seen.emplace(row.code, row.source, row.description).second) << row.name;
  }

  // Lookups tell the flows apart and failures as the dialog does.
  EXPECT_STREQ(FindUpdateResult(29, ResultSource::kBrowserFlow)->name, "BrowserAborted");
  EXPECT_STREQ(FindUpdateResult(29, ResultSource::kFlashFlow)->name, "FlashDownloadNoResponse");
  EXPECT_STREQ(FindUpdateResult(29, ResultSource::kRun)->name, "BrowserAborted");
  // Codes of the run as a whole serve either flow; 4 reads as up to date.
  EXPECT_STREQ(FindUpdateResult(4, ResultSource::kFlashFlow)->name, "ResultNothingToInstall");
  EXPECT_STREQ(FindUpdateResult(99, ResultSource::kBrowserFlow)->name, "ExitAlreadyRunning");
  EXPECT_EQ(FindUpdateResult(31, ResultSource::kBrowserFlow), nullptr);
  EXPECT_EQ(FindUpdateResult(-1, ResultSource::kRun), nullptr);

  EXPECT_FALSE(FindUpdateResult(0, ResultSource::kRun)->is_failure);
  EXPECT_FALSE(FindUpdateResult(4, ResultSource::kRun)->is_failure);
  EXPECT_TRUE(FindUpdateResult(27, ResultSource::kBrowserFlow)->is_failure);
  EXPECT_TRUE(FindUpdateResult(99, ResultSource::kRun)->is_failure);
}

}  // namespace
}  // namespace updater
