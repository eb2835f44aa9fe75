#include "speech/file_voice.h"

#include "speech/espeak_input.h"

namespace quillon {

SinkSpeechVoice::SinkSpeechVoice(SampleSink sink) : sink_(std::move(sink)) {
  EspeakSynthesizer::Instance();
}

void SinkSpeechVoice::Speak(std::u16string_view text, unsigned flags) {
  EspeakSynthesizer::Instance().Render(MarkupOfSpokenText(text, flags), sink_);
}

int SinkSpeechVoice::SampleRate() const {
  return EspeakSynthesizer::Instance().SampleRate();
}

FileSpeechVoice::FileSpeechVoice(const std::string& path, AudioFormat format)
    : writer_(path, format, EspeakSynthesizer::Instance().SampleRate()) {}

void FileSpeechVoice::Speak(std::u16string_view text, unsigned flags) {
  EspeakSynthesizer::Instance().Render(
      MarkupOfSpokenText(text, flags),
      [this](std::span<const std::int16_t> samples) { writer_.Write(samples); });
}

int FileSpeechVoice::SampleRate() const {
  return EspeakSynthesizer::Instance().SampleRate();
}

}  // namespace quillon
