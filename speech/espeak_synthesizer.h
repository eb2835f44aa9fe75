// espeak-ng behind one synthesis thread.
//
// espeak-ng keeps all its state in globals and is not thread-safe, so the whole program shares one
// synthesizer that owns one thread: every espeak-ng call runs there, one job at a time. It runs in
// its synchronous mode and hands the samples to a sink; silences of the markup become exact runs
// of zero samples. espeak-ng never opens a sound device of its own here: this program plays its
// samples itself, and writing audio files must not touch the sound server. Before each utterance
// the voice and every parameter are set again, so nothing carries over from one call to the next.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "speech/espeak_input.h"

namespace quillon {

// Receives 16-bit mono samples, on the synthesis thread. May throw: the synthesis stops and the
// exception reaches the caller of Render.
using SampleSink = std::function<void(std::span<const std::int16_t> samples)>;

// Receives each word espeak-ng speaks, on the synthesis thread, before the samples that hold its
// start reach the sample sink: the markup it was spoken from and the place of its first sample
// among all the samples of the Render (silences included). Words spelt out from one piece of
// the markup (an amount of money, a number) are given once, at the first of them.
using WordSink = std::function<void(MarkupSpan source, std::uint64_t sample)>;

class EspeakSynthesizer {
 public:
  // The program's one synthesizer, started on first use. Throws std::runtime_error when espeak-ng
  // cannot be initialised (its data missing, for instance); the message says why.
  static EspeakSynthesizer& Instance();

  EspeakSynthesizer(const EspeakSynthesizer&) = delete;
  EspeakSynthesizer& operator=(const EspeakSynthesizer&) = delete;

  int SampleRate() const { return sample_rate_; }

  // Speaks marked-up text (Windows-1252) into sink and returns when the last sample is handed
  // over. A failing synthesis throws std::runtime_error.
  void Render(std::string_view markup, const SampleSink& sink);
  void Render(const std::vector<SpeechStep>& steps, const SampleSink& sink,
              const WordSink& words = {});

  // Runs job on the synthesis thread and waits for it; exceptions reach the caller.
  void Run(const std::function<void()>& job);
  // Starts job on the synthesis thread and returns at once; the future gives its end or its
  // exception. Whatever job refers to must live until then.
  std::future<void> Start(std::function<void()> job);

  // The names of espeak-ng's voice variants ("m3", "f1", ...).
  std::vector<std::string> ListVariants();

  // Samples in a silence of ms milliseconds.
  std::size_t SilenceSamples(int ms) const {
    return static_cast<std::size_t>(ms) * static_cast<std::size_t>(sample_rate_) / 1000;
  }

 private:
  EspeakSynthesizer();
  ~EspeakSynthesizer();
  struct Worker;
  Worker* worker_;
  int sample_rate_ = 0;
};

}  // namespace quillon
