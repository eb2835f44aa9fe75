// Voices that speak into samples instead of a loudspeaker: into any sink, or into an audio file.
//
// Both report the words of a text once it is written, each with the place of its first sample in
// the text's audio (HeardWord::sample; FramesWritten before Speak gives the text's place in the
// file) and no time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "speech/audio_file.h"
#include "speech/espeak_synthesizer.h"
#include "speech/speech_voice.h"

namespace quillon {

// Speaks into a sample sink (called on the synthesis thread). Creating it starts the synthesizer
// and throws when espeak-ng cannot be initialised.
class SinkSpeechVoice : public SpeechVoice {
 public:
  explicit SinkSpeechVoice(SampleSink sink);
  void Speak(std::u16string_view text, unsigned flags) override;
  int SampleRate() const;

 private:
  SampleSink sink_;
};

// Speaks into one audio file; Close finishes it (the destructor closes it quietly).
class FileSpeechVoice : public SpeechVoice {
 public:
  FileSpeechVoice(const std::string& path, AudioFormat format);
  void Speak(std::u16string_view text, unsigned flags) override;
  void Close() { writer_.Close(); }
  std::uint64_t FramesWritten() const { return writer_.FramesWritten(); }
  int SampleRate() const;

 private:
  AudioFileWriter writer_;
};

}  // namespace quillon
