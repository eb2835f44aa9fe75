// quillon-tool tables: JSON Lines output of the data tables, and the unknown-name usage error.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/tables.h"

namespace quillon::tool {
namespace {

using Json = nlohmann::ordered_json;

std::vector<Json> Rows(std::string_view table) {
  std::ostringstream out, err;
  EXPECT_EQ(RunTablesCommand(table, out, err), 0) << table;
  EXPECT_EQ(err.str(), "");
  std::vector<Json> rows;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    rows.push_back(Json::parse(line));  // throws on a line that is not one JSON object
  }
  return rows;
}

const Json* FindCue(const std::vector<Json>& rows, std::string_view cue) {
  for (const Json& row : rows) {
    if (row["cue"] == cue) {
      return &row;
    }
  }
  return nullptr;
}

TEST(TablesCommand, CuesAsJsonLines) {
  const std::vector<Json> rows = Rows("cues");
  ASSERT_EQ(rows.size(), 427u);
  EXPECT_EQ(
      rows.front().dump(),
      R"({"voice":2,"cue":"Quillon, I am Mary","unless":[],"chapter":null,"chapter_not":null})");

  const Json* excluded = FindCue(rows, "Who?");
  ASSERT_NE(excluded, nullptr);
  EXPECT_EQ(excluded->dump(),
            R"({"voice":2,"cue":"Who?","unless":["Who? Who? Who was eye black?"],"chapter":null,)"
            R"("chapter_not":null})");

  const Json* only_in = FindCue(rows, "Yes.");
  const Json* not_in = FindCue(rows, "Plumpo");
  ASSERT_NE(only_in, nullptr);
  ASSERT_NE(not_in, nullptr);
  EXPECT_EQ((*only_in)["chapter"], 54);
  EXPECT_TRUE((*only_in)["chapter_not"].is_null());
  EXPECT_TRUE((*not_in)["chapter"].is_null());
  EXPECT_EQ((*not_in)["chapter_not"], 29);

  // Texts leave as UTF-8: the ellipsis byte and a straight double quote inside a cue.
  EXPECT_NE(FindCue(rows, "Nevertheless\u2026"), nullptr);
  EXPECT_NE(FindCue(rows, "Why would I?\""), nullptr);
}

TEST(TablesCommand, NamesAndProfiles) {
  const std::vector<Json> names = Rows("names");
  ASSERT_EQ(names.size(), 39u);
  EXPECT_EQ(names[3].dump(),
            R"({"name":"After a stunned silence,","voice":16,"kind":"immediate"})");
  EXPECT_EQ(names[0]["kind"], "earliest");

  const std::vector<Json> profiles = Rows("profiles");
  ASSERT_EQ(profiles.size(), 37u);
  for (std::size_t voice = 0; voice < profiles.size(); ++voice) {
    EXPECT_EQ(profiles[voice]["voice"], voice);
    EXPECT_TRUE(profiles[voice]["tag"].is_string());
  }
}

TEST(TablesCommand, UnknownTableListsTheKnownOnes) {
  std::ostringstream out, err;
  EXPECT_EQ(RunTablesCommand("cue", out, err), kExitUsage);
  EXPECT_EQ(out.str(), "");
  for (const NamedTable& table : Tables()) {
    EXPECT_NE(err.str().find(table.name), std::string::npos) << table.name;
  }

  CLI::App app;
  int exit_code = 0;
  RegisterCommands(app, exit_code);
  app.parse(std::vector<std::string>{"nonesuch", "tables"});  // arguments in reverse order
  EXPECT_EQ(exit_code, kExitUsage);
}

}  // namespace
}  // namespace quillon::tool
