// quillon-tool script DOCUMENT [--start POS] [--chapter N] [--voice N] [--flag]
//
// L is the view position where the line being read starts, C and V the chapter and voice numbers
// as the sentence is handed to the voice (nothing runs between framing and speaking here, so V is
// also the voice it was framed in), T the marked-up text in UTF-8.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "reading/encoding.h"
#include "reading/memory_view.h"
#include "reading/reader_state.h"
#include "reading/reading_loop.h"
#include "speech/recording_voice.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/document.h"
#include "tools/quillon-tool/script.h"

namespace quillon::tool {

int RunScriptCommand(const ScriptOptions& options, std::ostream& out, std::ostream& err) {
  std::string text;
  try {
    text = LoadDocumentText(options.document);
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return kExitCannotOpen;
  }
  const auto print = [&out](const nlohmann::ordered_json& object) { out << object.dump() << '\n'; };
  MemoryView view(std::move(text));
  view.SetSelection(options.start, 0);

  ReaderState state;
  state.CurrentChapter = options.chapter;
  state.CurrentVoice = options.voice;
  state.FirstOccurrenceOfHRInK12HasBeenRead = options.flag;

  RecordingVoice voice([&](std::u16string_view spoken, unsigned) {
    nlohmann::ordered_json object;
    object["line"] = view.SelectionStart();
    object["chapter"] = state.CurrentChapter;
    object["voice"] = state.CurrentVoice;
    object["text"] = Utf16ToUtf8(spoken);
    print(object);
  });

  ReadingOptions reading;
  reading.stop_at_end_of_text = true;
  const ReadingEnd end = RunReadingLoop(view, voice, state, {}, reading);

  nlohmann::ordered_json last;
  if (end == ReadingEnd::EndMarker) {
    last["end"] = "marker";
    last["line"] = view.SelectionStart();
  } else {
    last["end"] = "eof";
  }
  print(last);
  out.flush();
  if (!out) {
    throw std::runtime_error("Could not write the script.");
  }
  return 0;
}

void AddScriptCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<ScriptOptions>();
  CLI::App* command = app.add_subcommand(
      "script", "Print, as JSON Lines, every sentence a reading would speak, without speaking it");
  command
      ->add_option("DOCUMENT", options->document, "The novel's document (rich text or plain text)")
      ->required();
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
  command->callback(
      [options, &exit_code] { exit_code = RunScriptCommand(*options, std::cout, std::cerr); });
}

}  // namespace quillon::tool
