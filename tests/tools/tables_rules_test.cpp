// quillon-tool tables rules: one JSON object per rule, in table order, texts in UTF-8.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tools/quillon-tool/tables.h"

namespace quillon::tool {
namespace {

std::vector<nlohmann::json> RulesTable() {
  std::ostringstream out;
  PrintRulesTable(out);
  std::istringstream in(out.str());
  std::vector<nlohmann::json> rows;
  for (std::string line; std::getline(in, line);) {
    rows.push_back(nlohmann::json::parse(line));
  }
  return rows;
}

TEST(TablesRules, OneObjectPerRowInOrder) {
  const auto rows = RulesTable();
  ASSERT_EQ(rows.size(), 371u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i]["row"], i + 1);
    EXPECT_EQ(rows[i].size(), 8u) << rows[i].dump();
  }
}

TEST(TablesRules, SpecialRows) {
  const auto rows = RulesTable();
  using nlohmann::json;
  // The common shape.
  EXPECT_EQ(rows[15], json::parse(R"({"row": 16, "triggers": ["Chevy"], "unless": null,
      "not_chapters": [], "rewrites": [{"search": "Chevy", "replace": "shevvy"}], "mode": "all",
      "sets_chapter": null, "flag_row": false})"));
  EXPECT_EQ(rows[2]["unless"], "cr--");
  EXPECT_EQ(rows[3]["mode"], "first");
  EXPECT_EQ(rows[106]["not_chapters"], json::parse("[4, 13, 15, 24, 27, 36, 66]"));
  EXPECT_EQ(rows[109]["triggers"], json::array());
  EXPECT_EQ(rows[109]["flag_row"], true);
  EXPECT_EQ(rows[123]["sets_chapter"], 99);
  EXPECT_EQ(rows[230]["triggers"], json::parse(R"(["important ", "important,", "important."])"));
  EXPECT_EQ(rows[230]["rewrites"].size(), 3u);
  EXPECT_EQ(rows[230]["rewrites"][2]["replace"], "import int.");
  // Windows-1252 becomes UTF-8.
  EXPECT_EQ(rows[64]["triggers"][0], "\u2026");
  EXPECT_EQ(rows[287]["triggers"][0], "papier-m\u00e2ch\u00e9");
}

}  // namespace
}  // namespace quillon::tool
