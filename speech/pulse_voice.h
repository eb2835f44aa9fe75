// The espeak-ng voice with live sound through the sound server (PulseAudio's client API, which
// PipeWire serves too).
//
// One playback stream stays open and keeps playing across texts (speech/pulse_stream.h). Speak
// queues the samples as espeak-ng makes them and returns once the played position has passed the
// text's last audible sample; the quiet that ends it (espeak-ng's pause after a sentence, silences
// at its end) is already queued and plays on while the caller prepares the next text, which
// follows it without a gap. A text with nothing audible is waited for to its end.
//
// Words are reported when their first sample is played, on the thread that called Speak, with the
// moment taken from the stream's timing. Without a sound server, when it goes away or stops
// answering for a few seconds, Speak throws "No audio output: ..." and the next Speak connects
// again. SetPaused corks the stream (speech/pulse_stream.h); a held text does not count as a
// server that stopped playing. Interrupt closes the stream, which silences it at once; the next
// Speak opens it anew.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include "speech/pulse_stream.h"
#include "speech/speech_voice.h"

namespace quillon {

struct PulseVoiceSettings {
  std::chrono::milliseconds latency{100};          // what the server holds ahead
  std::chrono::milliseconds answer_timeout{3000};  // a silent server has failed after this
  std::chrono::milliseconds idle{2000};            // the stream pauses after this long quiet
};

class PulseSpeechVoice : public SpeechVoice {
 public:
  // Starts the synthesizer, which throws when espeak-ng cannot be initialised, then tries to
  // connect to the sound server; a missing server is only reported by Speak.
  explicit PulseSpeechVoice(PulseVoiceSettings settings = {});
  ~PulseSpeechVoice() override;
  PulseSpeechVoice(const PulseSpeechVoice&) = delete;
  PulseSpeechVoice& operator=(const PulseSpeechVoice&) = delete;

  void Speak(std::u16string_view text, unsigned flags) override;
  void Interrupt() override { interrupted_.store(true); }
  void SetPaused(bool paused) override;

  // Opens the playback stream if it is not open; throws "No audio output: ...".
  void Connect();
  bool IsConnected() const { return stream_ != nullptr; }

  // From the start of the last Speak to its first sample being played; zero when it played
  // nothing.
  std::chrono::nanoseconds LastFirstSampleLatency() const { return first_sample_latency_; }
  // Underruns of the stream open now (see PulseStream::Underruns).
  std::uint64_t Underruns() const { return stream_ ? stream_->Underruns() : 0; }

 private:
  void DropStream();

  PulseVoiceSettings settings_;
  std::mutex stream_mutex_;  // guards stream_ being made or dropped against SetPaused
  std::unique_ptr<PulseStream> stream_;
  std::atomic<bool> paused_ = false;
  std::chrono::nanoseconds first_sample_latency_{0};
  std::atomic<bool> interrupted_ = false;  // cleared when the Speak it ended returns
};

}  // namespace quillon
