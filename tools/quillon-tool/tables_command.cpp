// quillon-tool tables NAME: prints one of the engine's data tables as JSON Lines.
#include <cstdint>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "text/encoding.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/tables.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_name.h"
#include "voices/voice_profiles.h"

namespace quillon::tool {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::int32_t kLastVoice = 36;

// clang-format off
constexpr NamedTable kTables[] = {
    {"cues",     PrintCuesTable},
    {"names",    PrintNamesTable},
    {"profiles", PrintProfilesTable},
    {"rules",    PrintRulesTable},
};
// clang-format on

void PrintRow(std::ostream& out, const Json& row) {
  out << row.dump() << '\n';
}

Json Chapter(const ChapterCondition& condition, ChapterCondition::Kind kind) {
  return condition.kind == kind ? Json(condition.chapter) : Json(nullptr);
}

}  // namespace

void PrintCuesTable(std::ostream& out) {
  for (const SpeakerCue& row : SpeakerCues()) {
    Json unless = Json::array();
    for (std::string_view text : row.unless) {
      unless.push_back(Windows1252ToUtf8(text));
    }
    PrintRow(out, {{"voice", row.voice},
                   {"cue", Windows1252ToUtf8(row.cue)},
                   {"unless", std::move(unless)},
                   {"chapter", Chapter(row.chapter, ChapterCondition::Kind::Equal)},
                   {"chapter_not", Chapter(row.chapter, ChapterCondition::Kind::NotEqual)}});
  }
}

void PrintNamesTable(std::ostream& out) {
  for (const SpeakerName& row : SpeakerNames()) {
    PrintRow(out, {{"name", Windows1252ToUtf8(row.name)},
                   {"voice", row.voice},
                   {"kind", row.kind == NameKind::Immediate ? "immediate" : "earliest"}});
  }
}

void PrintProfilesTable(std::ostream& out) {
  for (std::int32_t voice = 0; voice <= kLastVoice; ++voice) {
    PrintRow(out, {{"voice", voice}, {"tag", Windows1252ToUtf8(GetVoiceProfileTag(voice))}});
  }
}

std::span<const NamedTable> Tables() {
  return kTables;
}

int RunTablesCommand(std::string_view name, std::ostream& out, std::ostream& err) {
  for (const NamedTable& table : Tables()) {
    if (table.name == name) {
      table.print(out);
      FinishWriting(out, "table '" + std::string(name) + "'");
      return 0;
    }
  }
  err << "unknown table '" << name << "'; known tables:";
  for (const NamedTable& table : Tables()) {
    err << ' ' << table.name;
  }
  err << '\n';
  return kExitUsage;
}

void AddTablesCommand(CLI::App& app, int& exit_code) {
  auto* command = app.add_subcommand("tables", "Print a data table as JSON Lines (UTF-8)");
  auto name = std::make_shared<std::string>();
  std::string known;
  for (const NamedTable& table : Tables()) {
    known += (known.empty() ? "" : ", ") + std::string(table.name);
  }
  command->add_option("NAME", *name, "The table: " + known)->required();
  command->callback(
      [name, &exit_code] { exit_code = RunTablesCommand(*name, std::cout, std::cerr); });
}

}  // namespace quillon::tool
