// Records a sound server's sink monitor in the test's own process, and knows when each recorded
// sample passed through the sink (steady clock), from the capture stream's timing.
//
// For the tests and benchmarks that check what arrived at the sink and when. Connects to the
// server that PULSE_SERVER names; on the private PipeWire server the sink plays by the system
// clock, so the times mean something there.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon::testing {

class MonitorRecorder {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts recording `source` (e.g. "quillon_clock.monitor") as 16-bit mono at `rate`; returns
  // once the first samples have arrived. Throws std::runtime_error when it cannot.
  MonitorRecorder(const std::string& source, int rate);
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  int Rate() const { return rate_; }
  // Everything recorded so far.
  std::vector<std::int16_t> Samples() const;

  // When recorded sample `index` passed through the sink.
  Clock::time_point TimeOf(std::size_t index) const;
  // The index of the sample that passed through the sink at `time` (may lie beyond the recording).
  std::int64_t IndexAt(Clock::time_point time) const;

  // Waits until the recording holds what the sink played up to `time`, at most `bound`.
  bool WaitUntilRecorded(Clock::time_point time, std::chrono::milliseconds bound) const;

 private:
  void Close();

  struct State;
  std::unique_ptr<State> state_;
  int rate_;
};

// The sink monitor of the fixture the test runs with: the PipeWire server's clock sink, or the
// PulseAudio null sink when only QUILLON_PULSE_DIR is set.
std::string FixtureMonitor();

}  // namespace quillon::testing
