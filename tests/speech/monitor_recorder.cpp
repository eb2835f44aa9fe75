#include "tests/speech/monitor_recorder.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace quillon::testing {

struct MonitorRecorder::State {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  int rate = 0;

  mutable std::mutex mutex;
  mutable std::condition_variable grew;
  std::vector<std::int16_t> samples;
  // For each read: the moment the sample of index 0 would have passed through the sink, as
  // (time of the read) - (index of the sample being captured at that time) / rate.
  std::vector<std::int64_t> origins_ns;
  bool failed = false;

  std::int64_t OriginNs() const {
    std::vector<std::int64_t> sorted = origins_ns;
    if (sorted.empty()) {
      return 0;
    }
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    return sorted[sorted.size() / 2];
  }

  static void OnRead(pa_stream* stream, std::size_t, void* data) {
    auto* self = static_cast<State*>(data);
    const auto now = Clock::now();
    const void* bytes = nullptr;
    std::size_t size = 0;
    std::lock_guard lock(self->mutex);
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &bytes, &size) == 0 &&
           size > 0) {
      // Frames of two channels: the left one is kept.
      const std::size_t count = size / (2 * sizeof(std::int16_t));
      if (bytes == nullptr) {
        self->samples.insert(self->samples.end(), count, 0);  // a hole: nothing was captured
      } else {
        const auto* frames = static_cast<const std::int16_t*>(bytes);
        for (std::size_t i = 0; i < count; ++i) {
          self->samples.push_back(frames[2 * i]);
        }
      }
      pa_stream_drop(stream);
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream, &latency, &negative) == 0) {
      const double ahead = (negative ? -1.0 : 1.0) * static_cast<double>(latency) / 1e6;
      const double captured_now = static_cast<double>(self->samples.size()) + ahead * self->rate;
      const auto now_ns =
          std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
      self->origins_ns.push_back(now_ns -
                                 static_cast<std::int64_t>(captured_now * 1e9 / self->rate));
    }
    self->grew.notify_all();
  }
};

namespace {

std::string Message(const std::string& what, pa_context* context) {
  return "monitor recorder: " + what + ": " + pa_strerror(pa_context_errno(context));
}

}  // namespace

MonitorRecorder::MonitorRecorder(const std::string& source, int rate)
    : state_(std::make_unique<State>()), rate_(rate) {
  State& s = *state_;
  s.rate = rate;
  s.loop = pa_threaded_mainloop_new();
  s.context = pa_context_new(pa_threaded_mainloop_get_api(s.loop), "quillon monitor recorder");
  pa_context_set_state_callback(
      s.context,
      [](pa_context*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
      },
      s.loop);
  pa_threaded_mainloop_lock(s.loop);
  pa_threaded_mainloop_start(s.loop);
  const auto unlock_and_fail = [&](const std::string& what) {
    pa_threaded_mainloop_unlock(s.loop);
    const std::string message = Message(what, s.context);
    Close();
    throw std::runtime_error(message);
  };
  if (pa_context_connect(s.context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
    unlock_and_fail("cannot connect");
  }
  for (;;) {
    const pa_context_state_t st = pa_context_get_state(s.context);
    if (st == PA_CONTEXT_READY) {
      break;
    }
    if (!PA_CONTEXT_IS_GOOD(st)) {
      unlock_and_fail("cannot connect");
    }
    pa_threaded_mainloop_wait(s.loop);
  }
  pa_sample_spec sample_format{};
  sample_format.format = PA_SAMPLE_S16NE;
  sample_format.rate = static_cast<std::uint32_t>(rate);
  // One channel of the sink as it is: a mono recording would be mixed down from both.
  sample_format.channels = 2;
  pa_channel_map map;
  pa_channel_map_init_stereo(&map);
  s.stream = pa_stream_new(s.context, "monitor", &sample_format, &map);
  pa_stream_set_read_callback(s.stream, &State::OnRead, &s);
  pa_stream_set_state_callback(
      s.stream,
      [](pa_stream*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
      },
      s.loop);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(rate / 100 * 4);  // 10 ms
  if (pa_stream_connect_record(
          s.stream, source.c_str(), &attr,
          static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE)) < 0) {
    unlock_and_fail("cannot record " + source);
  }
  for (;;) {
    const pa_stream_state_t st = pa_stream_get_state(s.stream);
    if (st == PA_STREAM_READY) {
      break;
    }
    if (!PA_STREAM_IS_GOOD(st)) {
      unlock_and_fail("cannot record " + source);
    }
    pa_threaded_mainloop_wait(s.loop);
  }
  pa_threaded_mainloop_unlock(s.loop);
  std::unique_lock lock(s.mutex);
  if (!s.grew.wait_for(lock, std::chrono::seconds(10), [&] { return s.origins_ns.size() >= 3; })) {
    lock.unlock();
    Close();
    throw std::runtime_error("monitor recorder: nothing arrives from " + source);
  }
}

MonitorRecorder::~MonitorRecorder() {
  Close();
}

void MonitorRecorder::Close() {
  if (!state_) {
    return;
  }
  State& s = *state_;
  if (s.loop != nullptr) {
    pa_threaded_mainloop_stop(s.loop);
  }
  if (s.stream != nullptr) {
    pa_stream_disconnect(s.stream);
    pa_stream_unref(s.stream);
  }
  if (s.context != nullptr) {
    pa_context_disconnect(s.context);
    pa_context_unref(s.context);
  }
  if (s.loop != nullptr) {
    pa_threaded_mainloop_free(s.loop);
  }
  state_.reset();
}

std::vector<std::int16_t> MonitorRecorder::Samples() const {
  std::lock_guard lock(state_->mutex);
  return state_->samples;
}

MonitorRecorder::Clock::time_point MonitorRecorder::TimeOf(std::size_t index) const {
  std::lock_guard lock(state_->mutex);
  const std::int64_t ns =
      state_->OriginNs() + static_cast<std::int64_t>(static_cast<double>(index) * 1e9 / rate_);
  return Clock::time_point(std::chrono::nanoseconds(ns));
}

std::int64_t MonitorRecorder::IndexAt(Clock::time_point time) const {
  std::lock_guard lock(state_->mutex);
  const std::int64_t ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count() -
      state_->OriginNs();
  return static_cast<std::int64_t>(static_cast<double>(ns) * rate_ / 1e9);
}

bool MonitorRecorder::WaitUntilRecorded(Clock::time_point time,
                                        std::chrono::milliseconds bound) const {
  const std::int64_t wanted = IndexAt(time);
  std::unique_lock lock(state_->mutex);
  return state_->grew.wait_for(
      lock, bound, [&] { return static_cast<std::int64_t>(state_->samples.size()) >= wanted; });
}

std::string FixtureMonitor() {
  if (std::getenv("QUILLON_PIPEWIRE_DIR") != nullptr) {
    return "quillon_clock.monitor";
  }
  return "quillon_null.monitor";
}

}  // namespace quillon::testing
