// A playback stream to the sound server (PulseAudio's client API, which PipeWire serves too) that
// never runs dry while it is in use.
//
// Samples are queued in order and written as the server asks for them; when it asks and nothing is
// queued, zeros are written, so the stream keeps playing between texts and every queued sample
// is played exactly once, in order, on any server. Each sample, queued or zero, has an index in
// the stream (from 0 at its start), and the stream's timing says which index is being played.
// After a while with nothing to play the stream pauses (corked), and the next queued sample
// starts it again. SetPaused holds it still on request: the server stops playing it at once, in
// the middle of a sample run, and plays on from the very next sample when it is released. The
// asynchronous API runs on a thread of its own; every call here may come from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>

namespace quillon {

struct PulseStreamSettings {
  int sample_rate = 22050;
  // How much the server holds ahead of the loudspeaker.
  std::chrono::milliseconds latency{100};
  // A server that does not answer for this long has failed.
  std::chrono::milliseconds answer_timeout{3000};
  // With nothing but zeros written for this long, the stream pauses.
  std::chrono::milliseconds idle{2000};
};

class PulseStream {
 public:
  using Clock = std::chrono::steady_clock;

  // Connects to the sound server and opens the stream. Throws std::runtime_error("No audio output:
  // ...") when there is no server, or it does not answer within answer_timeout.
  explicit PulseStream(const PulseStreamSettings& settings);
  ~PulseStream();
  PulseStream(const PulseStream&) = delete;
  PulseStream& operator=(const PulseStream&) = delete;

  // Queues samples after everything queued before and gives the stream index of the first.
  // Throws "No audio output: ..." once the stream has failed.
  std::uint64_t Queue(std::span<const std::int16_t> samples);

  // What is being played: the index of the sample heard at `at`. Throws "No audio output: ..."
  // when the stream has failed or the server has stopped answering.
  struct Playing {
    std::uint64_t index = 0;
    Clock::time_point at;
    // How far the server has read the stream, at its last report: it moves while the server
    // plays, however far ahead of the loudspeaker it reads.
    std::uint64_t read = 0;
  };
  Playing Position();

  // Holds the stream still (corked), or lets it go on; queueing goes on meanwhile.
  void SetPaused(bool paused);
  bool Paused() const;

  int SampleRate() const;
  // How often the server ran out of samples (the machine did not keep up): each time a short gap
  // in the sound, and nothing lost: the server waits for the samples that come late.
  std::uint64_t Underruns() const;

 private:
  void Close();

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quillon
