#include "speech/pulse_voice.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <stdexcept>

#include "speech/espeak_synthesizer.h"
#include "speech/speech_markup.h"

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
constexpr int kBufferMs = 200;
constexpr int kStartMs = 30;

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
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16NE;
    spec.rate = static_cast<std::uint32_t>(synthesizer.SampleRate());
    spec.channels = 1;
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
                                      "Reading aloud", &spec, nullptr, &attr, &error);
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
    bool first = true;
    try {
      synthesizer.Render(steps, [&](std::span<const std::int16_t> samples) {
        int error = 0;
        if (stream_ == nullptr) {
          ThrowNoAudio(PA_ERR_CONNECTIONTERMINATED);
        }
        if (pa_simple_write(Stream(stream_), samples.data(), samples.size_bytes(), &error) < 0) {
          ThrowNoAudio(error);
        }
        if (first) {
          first_sample_latency_ = std::chrono::steady_clock::now() - start;
          first = false;
        }
      });
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
