// quillon-tool say [--wav FILE] [--words] TEXT: speaks one marked-up text, or writes it to a WAV
// file; with --words it prints the words as they are heard, as JSON Lines.
#include <chrono>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "speech/audio_file.h"
#include "speech/espeak_input.h"
#include "speech/file_voice.h"
#include "speech/pulse_voice.h"
#include "text/encoding.h"
#include "tools/quillon-tool/commands.h"

namespace quillon::tool {

void AddSayCommand(CLI::App& app, int& exit_code) {
  struct Options {
    std::string text;
    std::string wav;
    bool words = false;
    double speed = 1.0;
  };
  auto options = std::make_shared<Options>();
  CLI::App* say = app.add_subcommand(
      "say", "Speak one text in the reader's speech markup (UTF-8), or write it to a WAV file");
  say->add_option("--wav", options->wav, "write the speech to this WAV file instead");
  say->add_flag("--words", options->words,
                "print each word as it is heard: JSON Lines of at_ms (after the start of the "
                "speech, or into the WAV file), start and length (UTF-16 units of the text, "
                "markup included) and word");
  say->add_option("--speed", options->speed,
                  "reading speed, 0.5 to 3 times every profile's own rate (default 1)")
      ->check(CLI::Range(kSlowestSpeed, kFastestSpeed));
  say->add_option("TEXT", options->text, "the text, e.g. '<VOICE REQUIRED=\"Gender=Female\">Hi'")
      ->required();
  say->callback([options, &exit_code] {
    // The same road as a sentence of the reading loop: Windows-1252, then UTF-16.
    const std::u16string text = Windows1252ToUtf16(Utf8ToWindows1252(options->text));
    const auto print = [&text](double at_ms, const HeardWord& word) {
      nlohmann::ordered_json line;
      line["at_ms"] = static_cast<std::int64_t>(at_ms + 0.5);
      line["start"] = word.start;
      line["length"] = word.length;
      line["word"] = Utf16ToUtf8(std::u16string_view(text).substr(word.start, word.length));
      std::printf("%s\n", line.dump().c_str());
      std::fflush(stdout);
    };
    if (!options->wav.empty()) {
      FileSpeechVoice voice(options->wav, AudioFormat::Wav);
      voice.SetSpeed(options->speed);
      const double rate = voice.SampleRate();
      if (options->words) {
        voice.SetWordListener([&](const HeardWord& word) {
          print(1000.0 * static_cast<double>(word.sample) / rate, word);
        });
      }
      voice.Speak(text, kSpeakIsXml);
      voice.Close();
      std::fprintf(stderr, "%s: %.2f s of audio\n", options->wav.c_str(),
                   static_cast<double>(voice.FramesWritten()) / voice.SampleRate());
    } else {
      PulseSpeechVoice voice;
      voice.SetSpeed(options->speed);
      const auto started = std::chrono::steady_clock::now();
      if (options->words) {
        voice.SetWordListener([&](const HeardWord& word) {
          print(std::chrono::duration<double, std::milli>(word.at - started).count(), word);
        });
      }
      voice.Speak(text, kSpeakIsXml);
    }
    exit_code = 0;
  });
}

}  // namespace quillon::tool
