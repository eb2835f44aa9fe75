// The espeak-ng voice with live sound through the PulseAudio client API (PipeWire serves it too).
//
// One playback stream stays open across sentences: Speak streams the samples to it as espeak-ng
// makes them and drains it at the end, so Speak returns when the sentence has been heard and the
// next one follows without a gap. Without a sound server Speak throws "No audio output: ..." and
// the next Speak connects again.
#pragma once

#include <chrono>
#include <string>

#include "speech/speech_voice.h"

namespace quillon {

class PulseSpeechVoice : public SpeechVoice {
 public:
  // Starts the synthesizer, which throws when espeak-ng cannot be initialised, then tries to
  // connect to the sound server; a missing server is only reported by Speak.
  PulseSpeechVoice();
  ~PulseSpeechVoice() override;
  PulseSpeechVoice(const PulseSpeechVoice&) = delete;
  PulseSpeechVoice& operator=(const PulseSpeechVoice&) = delete;

  void Speak(std::u16string_view text, unsigned flags) override;

  // Opens the playback stream if it is not open; throws "No audio output: ...".
  void Connect();
  bool IsConnected() const { return stream_ != nullptr; }

  // From the start of the last Speak to the server accepting its first samples (the first
  // write to the stream returning); zero when nothing was written.
  std::chrono::nanoseconds LastFirstSampleLatency() const { return first_sample_latency_; }

 private:
  void Disconnect();  // on the synthesis thread

  void* stream_ = nullptr;  // pa_simple*, used on the synthesis thread only
  std::chrono::nanoseconds first_sample_latency_{0};
};

}  // namespace quillon
