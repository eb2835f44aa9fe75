// quillon-tool tables NAME: the engine's data tables as JSON Lines, one object per row in table
// order, texts as UTF-8.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

namespace quillon::tool {

using TablePrinter = void (*)(std::ostream& out);

struct NamedTable {
  std::string_view name;
  TablePrinter print;
};

// {"voice", "cue", "unless": [...], "chapter": N or null, "chapter_not": N or null}
void PrintCuesTable(std::ostream& out);
// {"name", "voice", "kind": "earliest" or "immediate"}
void PrintNamesTable(std::ostream& out);
// {"voice", "tag"} for voices 0 to 36
void PrintProfilesTable(std::ostream& out);
// The pronunciation rules (tables_rules.cpp).
void PrintRulesTable(std::ostream& out);

// The tables the command knows, by name.
std::span<const NamedTable> Tables();

// Prints the table called name to out and returns 0; for an unknown name, lists the known names
// on err and returns kExitUsage.
int RunTablesCommand(std::string_view name, std::ostream& out, std::ostream& err);

}  // namespace quillon::tool
