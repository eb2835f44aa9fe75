// quillon-tool script DOCUMENT [--start POS] [--chapter N] [--voice N] [--flag] [--explain]
//
// L is the view position where the line being read starts, C and V the chapter and current voice
// numbers as the sentence is handed to the voice, T the marked-up text in UTF-8. V is the voice of
// the line (or 1 after a narration passage); a sentence of narration in a line of dialogue is
// still framed by the narrator's wrapper.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

#include "pronunciation/pronunciation_rule.h"
#include "text/encoding.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/document.h"
#include "tools/quillon-tool/explained_reading.h"
#include "tools/quillon-tool/script.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_name.h"

namespace quillon::tool {
namespace {

using Json = nlohmann::ordered_json;

Json SpeakerJson(const ReadLine& line, const SpokenSentence& sentence) {
  using By = SpeakerDecision::By;
  const SpeakerDecision& speaker = line.speaker;
  Json object;
  switch (speaker.by) {
    case By::Cue:
      object["by"] = "cue";
      object["row"] = speaker.row;
      object["cue"] = Windows1252ToUtf8(SpeakerCues()[speaker.row - 1].cue);
      break;
    case By::Name:
      object["by"] = "name";
      object["row"] = speaker.row;
      object["name"] = Windows1252ToUtf8(SpeakerNames()[speaker.row - 1].name);
      break;
    case By::Previous:
      object["by"] = "previous";
      break;
    case By::Narrator:
      object["by"] = "narrator";
      break;
    case By::NotDetected:
      object["by"] = "not detected";
      break;
  }
  if (!sentence.passage.empty()) {
    object["passage"] = Windows1252ToUtf8(sentence.passage);
  }
  return object;
}

const char* FlagName(FlagRowOutcome flag) {
  switch (flag) {
    case FlagRowOutcome::SetFlag:
      return "set";
    case FlagRowOutcome::Rewrote:
      return "rewrote";
    case FlagRowOutcome::Ignored:
      return "ignored";
    case FlagRowOutcome::None:
      break;
  }
  return nullptr;
}

Json RulesJson(const SpokenSentence& sentence) {
  const auto table = PronunciationRules();
  Json rules = Json::array();
  for (const AppliedRule& applied : sentence.rules) {
    const PronunciationRule& rule = table[static_cast<std::size_t>(applied.row - 1)];
    Json object = {{"row", applied.row},
                   {"before", Windows1252ToUtf8(applied.before)},
                   {"after", Windows1252ToUtf8(applied.after)}};
    if (const char* flag = FlagName(applied.flag)) {
      object["flag"] = flag;
    }
    if (!rule.rewrites[1].search.empty()) {
      object["alternative"] = applied.alternative;
    }
    if (rule.effect == RuleEffect::SetsChapter99) {
      object["sets_chapter"] = 99;
    }
    rules.push_back(std::move(object));
  }
  return rules;
}

class ScriptPrinter final : public ReadingListener {
 public:
  ScriptPrinter(std::ostream& out, bool explain) : out_(out), explain_(explain) {}

  void OnSentence(const ReadLine& line, const SpokenSentence& sentence) override {
    Json object;
    object["line"] = line.start;
    object["chapter"] = sentence.chapter;
    object["voice"] = sentence.voice;
    object["text"] = Windows1252ToUtf8(sentence.text);
    if (explain_) {
      object["speaker"] = SpeakerJson(line, sentence);
      object["rules"] = RulesJson(sentence);
    }
    Print(object);
  }

  void Print(const Json& object) { out_ << object.dump() << '\n'; }

 private:
  std::ostream& out_;
  bool explain_;
};

}  // namespace

int RunScriptCommand(const ScriptOptions& options, std::ostream& out, std::ostream& err) {
  std::optional<std::string> text = LoadDocumentTextOrSay(options.document, err);
  if (!text) {
    return kExitCannotOpen;
  }
  ScriptPrinter printer(out, options.explain);
  const ReadingResult result = ReadDocument(std::move(*text),
                                            {.position = options.start,
                                             .chapter = options.chapter,
                                             .voice = options.voice,
                                             .flag = options.flag},
                                            options.explain, printer);
  Json last;
  if (result.end == ReadingEnd::EndMarker) {
    last["end"] = "marker";
    last["line"] = result.end_line_start;
  } else {
    last["end"] = "eof";
  }
  printer.Print(last);
  FinishWriting(out, "script");
  return 0;
}

void AddScriptCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<ScriptOptions>();
  CLI::App* command = app.add_subcommand(
      "script", "Print, as JSON Lines, every sentence a reading would speak, without speaking it");
  AddDocumentArgument(*command, options->document);
  command->add_option("--start", options->start, "View position of the caret to start at")
      ->check(CLI::Validator(
          [](const std::string& value) {
            return value.starts_with('-') ? "a position is 0 or more" : std::string();
          },
          "POS", "position"));
  command->add_option("--chapter", options->chapter, "Current chapter number at the start");
  command->add_option("--voice", options->voice, "Current voice number at the start");
  command->add_flag("--flag", options->flag,
                    "The first H.R. of chapter 12 has been read (a pronunciation rule's flag)");
  command->add_flag("--explain", options->explain,
                    "Add to each sentence how its voice was decided (\"speaker\") and the rules "
                    "that rewrote it (\"rules\")");
  command->callback(
      [options, &exit_code] { exit_code = RunScriptCommand(*options, std::cout, std::cerr); });
}

}  // namespace quillon::tool
