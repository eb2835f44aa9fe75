#include "tools/quillon-tool/coverage.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "pronunciation/pronunciation_rule.h"
#include "reading/line_fetcher.h"
#include "text/encoding.h"
#include "tools/quillon-tool/explained_reading.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_detection.h"
#include "voices/speaker_name.h"

namespace quillon::tool {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::int32_t kLastProfile = 36;

class Tally final : public ReadingListener {
 public:
  explicit Tally(Coverage& coverage) : coverage_(coverage) {
    coverage_.cue_uses.assign(SpeakerCues().size(), 0);
    coverage_.name_uses.assign(SpeakerNames().size(), 0);
    coverage_.rule_uses.assign(PronunciationRules().size(), 0);
  }

  void OnSentence(const ReadLine& /*line*/, const SpokenSentence& sentence) override {
    ++coverage_.sentences;
    ++coverage_.voice_sentences[sentence.framed_voice];
    for (const AppliedRule& rule : sentence.rules) {
      if (rule.flag != FlagRowOutcome::Ignored) {
        ++coverage_.rule_uses[static_cast<std::size_t>(rule.row - 1)];
      }
    }
  }

  void OnLineDone(const ReadLine& line) override {
    coverage_.lines.push_back(line.text);
    coverage_.line_voices.push_back(line.voice_after);
    coverage_.chapters.insert(line.chapter);
    if (!line.voiced) {
      return;
    }
    ++coverage_.voice_lines[line.voice_after];
    using By = SpeakerDecision::By;
    if (line.speaker.by == By::Cue) {
      ++coverage_.cue_uses[line.speaker.row - 1];
      NoteCompetition(line);
    } else if (line.speaker.by == By::Name) {
      ++coverage_.name_uses[line.speaker.row - 1];
    }
  }

 private:
  // The rows after the winner that match too and belong to another voice.
  void NoteCompetition(const ReadLine& line) {
    const auto cues = SpeakerCues();
    const std::size_t winner = line.speaker.row;
    CueCompetition competition;
    competition.line = line.number;
    competition.chapter = line.chapter;
    competition.winner = winner;
    for (std::size_t row = winner + 1; row <= cues.size(); ++row) {
      const SpeakerCue& cue = cues[row - 1];
      if (cue.voice != cues[winner - 1].voice && CueMatches(cue, line.text, line.chapter)) {
        competition.shadowed.push_back(row);
      }
    }
    if (!competition.shadowed.empty()) {
      coverage_.competitions.push_back(std::move(competition));
    }
  }

  Coverage& coverage_;
};

Json CueJson(std::size_t row) {
  const SpeakerCue& cue = SpeakerCues()[row - 1];
  return {{"row", row}, {"voice", cue.voice}, {"cue", Windows1252ToUtf8(cue.cue)}};
}

std::size_t Unused(const std::vector<int>& uses) {
  std::size_t count = 0;
  for (const int n : uses) {
    count += n == 0;
  }
  return count;
}

void PrintRow(std::ostream& out, const Json& object) {
  out << object.dump() << '\n';
}

}  // namespace

Coverage MeasureCoverage(std::string view_text) {
  Coverage coverage;
  Tally tally(coverage);
  coverage.end = ReadDocument(std::move(view_text), {}, true, tally).end;
  return coverage;
}

void PrintCoverage(const Coverage& coverage, std::ostream& out) {
  const auto cues = SpeakerCues();
  for (std::size_t i = 0; i < cues.size(); ++i) {
    if (coverage.cue_uses[i] == 0) {
      Json object = {{"unused", "cue"}};
      object.update(CueJson(i + 1));
      PrintRow(out, object);
    }
  }
  const auto names = SpeakerNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (coverage.name_uses[i] == 0) {
      PrintRow(out, {{"unused", "name"},
                     {"row", i + 1},
                     {"voice", names[i].voice},
                     {"name", Windows1252ToUtf8(names[i].name)}});
    }
  }
  const auto rules = PronunciationRules();
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (coverage.rule_uses[i] == 0) {
      Json triggers = Json::array();
      for (std::string_view trigger : rules[i].triggers) {
        triggers.push_back(Windows1252ToUtf8(trigger));
      }
      PrintRow(out, {{"unused", "rule"}, {"row", rules[i].row}, {"triggers", triggers}});
    }
  }
  for (const CueCompetition& competition : coverage.competitions) {
    Json shadowed = Json::array();
    for (const std::size_t row : competition.shadowed) {
      shadowed.push_back(CueJson(row));
    }
    PrintRow(out, {{"competing", competition.line},
                   {"chapter", competition.chapter},
                   {"wins", CueJson(competition.winner)},
                   {"shadowed", shadowed}});
  }
  std::map<std::int32_t, std::pair<int, int>> voices;
  for (std::int32_t voice = 0; voice <= kLastProfile; ++voice) {
    voices[voice] = {0, 0};
  }
  for (const auto& [voice, lines] : coverage.voice_lines) {
    voices[voice].first = lines;
  }
  for (const auto& [voice, sentences] : coverage.voice_sentences) {
    voices[voice].second = sentences;
  }
  for (const auto& [voice, counts] : voices) {
    PrintRow(out, {{"voice", voice}, {"lines", counts.first}, {"sentences", counts.second}});
  }
}

void PrintCoverageSummary(const Coverage& coverage, std::ostream& out) {
  const auto share = [](std::size_t unused, std::size_t all) {
    return std::to_string(all - unused) + " of " + std::to_string(all);
  };
  std::set<std::int32_t> book_chapters;
  for (const ChapterHeading& heading : ChapterHeadings()) {
    book_chapters.insert(heading.chapter);
  }
  std::size_t reached = 0;
  for (const std::int32_t chapter : book_chapters) {
    reached += coverage.chapters.contains(chapter);
  }
  std::size_t silent = 0;
  for (std::int32_t voice = 0; voice <= kLastProfile; ++voice) {
    const auto found = coverage.voice_sentences.find(voice);
    silent += found == coverage.voice_sentences.end() || found->second == 0;
  }
  out << "cue rows used: " << share(Unused(coverage.cue_uses), coverage.cue_uses.size())
      << "; name rows used: " << share(Unused(coverage.name_uses), coverage.name_uses.size())
      << "; rule rows used: " << share(Unused(coverage.rule_uses), coverage.rule_uses.size())
      << '\n'
      << "lines where cues of two voices compete: " << coverage.competitions.size() << '\n'
      << "lines read: " << coverage.lines.size() << "; sentences: " << coverage.sentences
      << "; chapters reached: " << reached << " of " << book_chapters.size()
      << "; voices never heard: " << silent << " of " << kLastProfile + 1 << '\n'
      << "reading ended "
      << (coverage.end == ReadingEnd::EndMarker ? "at the end marker" : "at the end of the text")
      << '\n';
}

}  // namespace quillon::tool
