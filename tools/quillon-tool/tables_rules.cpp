// quillon-tool tables rules: the pronunciation rule table, one JSON object per row in table order.
#include <nlohmann/json.hpp>
#include <ostream>

#include "pronunciation/pronunciation_rule.h"
#include "text/encoding.h"
#include "tools/quillon-tool/tables.h"

namespace quillon::tool {

// {"row", "triggers": [...], "unless": text or null, "not_chapters": [...],
//  "rewrites": [{"search", "replace"}, ...], "mode": "all" or "first",
//  "sets_chapter": 99 or null, "flag_row": true or false}
void PrintRulesTable(std::ostream& out) {
  using Json = nlohmann::ordered_json;
  for (const PronunciationRule& rule : PronunciationRules()) {
    Json triggers = Json::array();
    for (std::string_view trigger : rule.triggers) {
      triggers.push_back(Windows1252ToUtf8(trigger));
    }
    Json not_chapters = Json::array();
    for (std::int32_t chapter : rule.not_chapters) {
      if (chapter != 0) {
        not_chapters.push_back(chapter);
      }
    }
    Json rewrites = Json::array();
    for (const Rewrite& rewrite : rule.rewrites) {
      if (rewrite.search.empty()) {
        break;
      }
      rewrites.push_back({{"search", Windows1252ToUtf8(rewrite.search)},
                          {"replace", Windows1252ToUtf8(rewrite.replacement)}});
    }
    const Json row = {
        {"row", rule.row},
        {"triggers", std::move(triggers)},
        {"unless", rule.unless.empty() ? Json(nullptr) : Json(Windows1252ToUtf8(rule.unless))},
        {"not_chapters", std::move(not_chapters)},
        {"rewrites", std::move(rewrites)},
        {"mode", rule.mode == ReplaceMode::First ? "first" : "all"},
        {"sets_chapter", rule.effect == RuleEffect::SetsChapter99 ? Json(99) : Json(nullptr)},
        {"flag_row", rule.effect == RuleEffect::FlagRow},
    };
    out << row.dump() << '\n';
  }
}

}  // namespace quillon::tool
