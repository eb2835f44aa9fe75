#include "speech/pulse_voice.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <span>
#include <stdexcept>

#include "speech/espeak_input.h"
#include "speech/espeak_synthesizer.h"

namespace quillon {
namespace {

pa_simple* Stream(void* stream) {
  return static_cast<pa_simple*>(stream);
}

[[noreturn]] void ThrowNoAudio(int error) {
  throw std::runtime_error(std::string("No audio output: ") + pa_strerror(error));
}

// The server holds up to this much of a sentence ahead of the loudspeaker, and starts playing once
// it has the first few milliseconds: espeak-ng renders far faster than real time.
constexpr int kBufferMs = 1000;
constexpr int kStartMs = 5;
// Draining the stream and starting it again costs about this much at the sound server (one
// period of the sink); the end-of-sentence pause that espeak-ng renders is that much shorter
// here, so two sentences are as far apart as espeak-ng makes them.
constexpr int kDrainMs = 20;

// Writes samples to the stream, holding back the zero samples at the end of what it has seen:
// those at the very end of a sentence, up to kDrainMs of them, are never played.
class TailTrimmingWriter {
 public:
  TailTrimmingWriter(pa_simple* stream, std::size_t hold) : stream_(stream), hold_(hold) {}

  // When the first samples were accepted by the server, if any were.
  std::optional<std::chrono::steady_clock::time_point> FirstSent() const { return first_sent_; }

  void Write(std::span<const std::int16_t> samples) {
    std::size_t end = samples.size();
    while (end > 0 && samples[end - 1] == 0) {
      --end;
    }
    if (end == 0) {
      zeros_ += samples.size();
    } else {
      WriteZeros(zeros_);
      zeros_ = samples.size() - end;
      Send(samples.subspan(0, end));
    }
    if (zeros_ > hold_) {
      WriteZeros(zeros_ - hold_);
      zeros_ = hold_;
    }
  }

 private:
  void WriteZeros(std::size_t count) {
    static constexpr std::array<std::int16_t, 1024> kZeros{};
    while (count > 0) {
      const std::size_t n = std::min(count, kZeros.size());
      Send(std::span<const std::int16_t>(kZeros.data(), n));
      count -= n;
    }
  }
  void Send(std::span<const std::int16_t> samples) {
    int error = 0;
    if (pa_simple_write(stream_, samples.data(), samples.size_bytes(), &error) < 0) {
      ThrowNoAudio(error);
    }
    if (!first_sent_) {
      first_sent_ = std::chrono::steady_clock::now();
    }
  }

  pa_simple* stream_;
  std::size_t hold_;
  std::size_t zeros_ = 0;
  std::optional<std::chrono::steady_clock::time_point> first_sent_;
};

}  // namespace

PulseSpeechVoice::PulseSpeechVoice() {
  EspeakSynthesizer::Instance();
  try {
    Connect();
  } catch (const std::runtime_error&) {
    // No sound server yet: the first Speak tries again and reports it.
  }
}

PulseSpeechVoice::~PulseSpeechVoice() {
  try {
    EspeakSynthesizer::Instance().Run([this] { Disconnect(); });
  } catch (...) {
  }
}

void PulseSpeechVoice::Disconnect() {
  if (stream_ != nullptr) {
    pa_simple_free(Stream(stream_));
    stream_ = nullptr;
  }
}

void PulseSpeechVoice::Connect() {
  EspeakSynthesizer& synthesizer = EspeakSynthesizer::Instance();
  synthesizer.Run([&] {
    if (stream_ != nullptr) {
      return;
    }
    pa_sample_spec sample_format{};
    sample_format.format = PA_SAMPLE_S16NE;
    sample_format.rate = static_cast<std::uint32_t>(synthesizer.SampleRate());
    sample_format.channels = 1;
    const auto bytes = [&](int ms) {
      return static_cast<std::uint32_t>(synthesizer.SilenceSamples(ms) * sizeof(std::int16_t));
    };
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = bytes(kBufferMs);
    attr.prebuf = bytes(kStartMs);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "Quillon Reader", PA_STREAM_PLAYBACK, nullptr,
                                      "Reading aloud", &sample_format, nullptr, &attr, &error);
    if (stream == nullptr) {
      ThrowNoAudio(error);
    }
    stream_ = stream;
  });
}

void PulseSpeechVoice::Speak(std::u16string_view text, unsigned flags) {
  const auto start = std::chrono::steady_clock::now();
  const std::vector<SpeechStep> steps = TranslateSpeechMarkup(MarkupOfSpokenText(text, flags));
  Connect();
  EspeakSynthesizer& synthesizer = EspeakSynthesizer::Instance();
  synthesizer.Run([&] {
    try {
      if (stream_ == nullptr) {
        ThrowNoAudio(PA_ERR_CONNECTIONTERMINATED);
      }
      TailTrimmingWriter writer(Stream(stream_), synthesizer.SilenceSamples(kDrainMs));
      synthesizer.Render(steps,
                         [&](std::span<const std::int16_t> samples) { writer.Write(samples); });
      first_sample_latency_ = writer.FirstSent() ? *writer.FirstSent() - start
                                                 : std::chrono::steady_clock::duration::zero();
      int error = 0;
      if (pa_simple_drain(Stream(stream_), &error) < 0) {
        ThrowNoAudio(error);
      }
    } catch (...) {
      Disconnect();  // the next Speak connects again
      throw;
    }
  });
}

}  // namespace quillon
