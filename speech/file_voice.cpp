#include "speech/file_voice.h"

#include <vector>

#include "speech/espeak_input.h"

namespace quillon {
namespace {

// Synthesises a text into sink; the words heard in it are given to the voice's listener once the
// text is written, in order.
void SpeakInto(const SampleSink& sink, std::u16string_view text, unsigned flags, double speed,
               bool want_words, const std::function<void(const HeardWord&)>& report) {
  const SpokenMarkup spoken = ReadSpokenText(text, flags);
  std::vector<HeardWord> words;
  WordSink collect;
  if (want_words) {
    collect = [&](MarkupSpan source, std::uint64_t sample) {
      words.push_back(spoken.WordAt(source, sample));
    };
  }
  EspeakSynthesizer::Instance().Render(TranslateSpeechMarkup(spoken.markup, speed), sink, collect);
  for (const HeardWord& word : words) {
    report(word);
  }
}

}  // namespace

SinkSpeechVoice::SinkSpeechVoice(SampleSink sink) : sink_(std::move(sink)) {
  EspeakSynthesizer::Instance();
}

void SinkSpeechVoice::Speak(std::u16string_view text, unsigned flags) {
  SpeakInto(sink_, text, flags, Speed(), HasWordListener(),
            [this](const HeardWord& w) { ReportWord(w); });
}

int SinkSpeechVoice::SampleRate() const {
  return EspeakSynthesizer::Instance().SampleRate();
}

FileSpeechVoice::FileSpeechVoice(const std::string& path, AudioFormat format)
    : writer_(path, format, EspeakSynthesizer::Instance().SampleRate()) {}

void FileSpeechVoice::Speak(std::u16string_view text, unsigned flags) {
  SpeakInto([this](std::span<const std::int16_t> samples) { writer_.Write(samples); }, text, flags,
            Speed(), HasWordListener(), [this](const HeardWord& w) { ReportWord(w); });
}

int FileSpeechVoice::SampleRate() const {
  return EspeakSynthesizer::Instance().SampleRate();
}

}  // namespace quillon
