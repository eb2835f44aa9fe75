// quillon-tool say [--wav FILE] TEXT: speaks one marked-up text, or writes it to a WAV file.
#include <cstdio>
#include <memory>
#include <string>

#include "reading/encoding.h"
#include "speech/audio_file.h"
#include "speech/file_voice.h"
#include "speech/pulse_voice.h"
#include "tools/quillon-tool/commands.h"

namespace quillon::tool {

void AddSayCommand(CLI::App& app, int& exit_code) {
  struct Options {
    std::string text;
    std::string wav;
  };
  auto options = std::make_shared<Options>();
  CLI::App* say = app.add_subcommand(
      "say", "Speak one text in the reader's speech markup (UTF-8), or write it to a WAV file");
  say->add_option("--wav", options->wav, "write the speech to this WAV file instead");
  say->add_option("TEXT", options->text, "the text, e.g. '<VOICE REQUIRED=\"Gender=Female\">Hi'")
      ->required();
  say->callback([options, &exit_code] {
    // The same road as a sentence of the reading loop: Windows-1252, then UTF-16.
    const std::u16string text = Windows1252ToUtf16(Utf8ToWindows1252(options->text));
    if (!options->wav.empty()) {
      FileSpeechVoice voice(options->wav, AudioFormat::Wav);
      voice.Speak(text, kSpeakIsXml);
      voice.Close();
      std::fprintf(stderr, "%s: %.2f s of audio\n", options->wav.c_str(),
                   static_cast<double>(voice.FramesWritten()) / voice.SampleRate());
    } else {
      PulseSpeechVoice voice;
      voice.Speak(text, kSpeakIsXml);
    }
    exit_code = 0;
  });
}

}  // namespace quillon::tool
