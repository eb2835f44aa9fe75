// What a reading of a whole document uses of the engine's tables: which cue, name and rule rows
// decide or apply somewhere and which never do, the lines where cues of two voices compete (the
// first run wins, the others are shadowed), and how many lines and sentences each voice speaks.
// quillon-tool coverage prints it; the novel's coverage test checks it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "reading/reading_loop.h"

namespace quillon::tool {

// A line that holds the cues of more than one voice.
struct CueCompetition {
  std::size_t line = 0;  // 1-based line number
  std::int32_t chapter = 0;
  std::size_t winner = 0;             // the deciding cue row (1-based)
  std::vector<std::size_t> shadowed;  // later matching rows of other voices
};

struct Coverage {
  ReadingEnd end = ReadingEnd::EndOfText;
  std::vector<std::string> lines;               // every fetched line, in order (Windows-1252)
  std::vector<std::int32_t> line_voices;        // per line: the current voice when it was left
  std::vector<int> cue_uses;                    // per cue row: lines it decided
  std::vector<int> name_uses;                   // per name row: lines it decided
  std::vector<int> rule_uses;                   // per rule row: sentences its guard held for
  std::map<std::int32_t, int> voice_lines;      // lines left in each voice (blank lines not)
  std::map<std::int32_t, int> voice_sentences;  // sentences framed in each voice's profile
  std::vector<CueCompetition> competitions;
  std::set<std::int32_t> chapters;  // chapter numbers lines were read in
  std::size_t sentences = 0;
};

// Reads view_text from the top as "&Read" would and tallies what it used.
Coverage MeasureCoverage(std::string view_text);

// As JSON Lines (UTF-8), in this order:
//   {"unused": "cue", "row", "voice", "cue"}, {"unused": "name", "row", "voice", "name"},
//   {"unused": "rule", "row", "triggers": [...]},
//   {"competing": LINE, "chapter", "wins": {"row", "voice", "cue"},
//    "shadowed": [{"row", "voice", "cue"}, ...]},
//   {"voice", "lines", "sentences"} for voices 0 to 36 and any other voice heard.
// The flag row counts as used when it set the flag or rewrote, not when chapter 13 stopped it.
void PrintCoverage(const Coverage& coverage, std::ostream& out);

// A few lines for a person: the counts of used rows, competing lines, chapters and voices.
void PrintCoverageSummary(const Coverage& coverage, std::ostream& out);

}  // namespace quillon::tool
