#include "speech/pulse_stream.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {
namespace {

// How often the stream's timing is asked for while someone watches the played position.
constexpr std::chrono::milliseconds kTimingInterval{20};
// How long nothing is queued before the stream plays zeros: the synthesis hands over a text's
// samples a few milliseconds apart.
constexpr std::chrono::milliseconds kFillAfter{10};

std::string NoAudio(const std::string& why) {
  return "No audio output: " + why;
}

// Locks the main loop for a scope (not from its own callbacks, which run locked).
class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

}  // namespace

struct PulseStream::State {
  PulseStreamSettings settings;
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;

  // Everything below is guarded by the main loop's lock.
  std::vector<std::int16_t> queue;  // samples queued and not yet written, from queue_head on
  std::size_t queue_head = 0;
  std::uint64_t written = 0;  // samples written to the server, zeros included
  bool primed = false;        // samples were queued since the stream started or paused
  bool corked = false;
  bool paused = false;  // held still on request: corked, whatever is queued
  Clock::time_point last_queued;
  Clock::time_point last_fed;   // when queued samples were last written
  bool timing_pending = false;  // a timing update was asked for and not answered yet
  Clock::time_point timing_asked;
  bool timed_out = false;  // the wait for the connection took too long
  pa_time_event* fill_timer = nullptr;
  std::uint64_t underruns = 0;
  std::string failure;  // why the stream no longer works; empty while it does

  std::size_t Queued() const { return queue.size() - queue_head; }

  void Fail(const std::string& why) {
    if (failure.empty()) {
      failure = NoAudio(why);
    }
    pa_threaded_mainloop_signal(loop, 0);
  }
  void FailFromContext() { Fail(pa_strerror(pa_context_errno(context))); }
  // The connection or the stream changed state; whoever waits for one looks again.
  void StateChanged(bool failed) {
    if (failed) {
      FailFromContext();
    }
    pa_threaded_mainloop_signal(loop, 0);
  }

  // Writes what the server asks for: queued samples, or zeros while in use. Zeros only on the
  // server's request (may_fill), and only once nothing has been queued for kFillAfter: until then
  // the rest of a text is on its way, and a zero between its samples would be a gap.
  void Feed(bool may_fill) {
    if (!failure.empty() || stream == nullptr || pa_stream_get_state(stream) != PA_STREAM_READY) {
      return;
    }
    const std::size_t writable = pa_stream_writable_size(stream);
    if (writable == static_cast<std::size_t>(-1)) {
      FailFromContext();
      return;
    }
    static constexpr std::array<std::int16_t, 2048> kZeros{};
    std::size_t wanted = writable / sizeof(std::int16_t);
    while (wanted > 0) {
      const std::int16_t* data;
      std::size_t n;
      if (Queued() > 0) {
        data = queue.data() + queue_head;
        n = std::min(wanted, Queued());
      } else if (primed && !corked && may_fill) {
        const Clock::duration quiet = Clock::now() - last_queued;
        if (quiet < kFillAfter) {
          WakeAfter(kFillAfter - quiet);
          break;
        }
        if (Clock::now() - last_fed > settings.idle) {
          pa_operation* op = pa_stream_cork(stream, 1, nullptr, nullptr);
          if (op != nullptr) {
            pa_operation_unref(op);
          }
          corked = true;
          primed = false;
          break;
        }
        data = kZeros.data();
        n = std::min(wanted, kZeros.size());
      } else {
        break;
      }
      if (pa_stream_write(stream, data, n * sizeof(std::int16_t), nullptr, 0, PA_SEEK_RELATIVE) <
          0) {
        FailFromContext();
        return;
      }
      if (data != kZeros.data()) {
        queue_head += n;
        last_fed = Clock::now();
      }
      written += n;
      wanted -= n;
    }
    if (queue_head == queue.size()) {
      queue.clear();
      queue_head = 0;
    } else if (queue_head > (1u << 16)) {
      queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(queue_head));
      queue_head = 0;
    }
  }

  // Feeds again (with zeros if need be) after `delay`, unless a wake-up is already due.
  void WakeAfter(Clock::duration delay) {
    if (fill_timer != nullptr) {
      return;
    }
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(delay).count() + 1;
    fill_timer = pa_context_rttime_new(
        context, pa_rtclock_now() + static_cast<pa_usec_t>(us),
        [](pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* data) {
          auto* self = static_cast<State*>(data);
          api->time_free(event);
          self->fill_timer = nullptr;
          self->Feed(true);
        },
        this);
  }

  // Waits (locked) until done() holds, the stream fails or the answer timeout runs out.
  template <typename Done>
  void WaitFor(Done done, const char* what) {
    timed_out = false;
    pa_time_event* timer = pa_context_rttime_new(
        context,
        pa_rtclock_now() +
            static_cast<pa_usec_t>(
                std::chrono::duration_cast<std::chrono::microseconds>(settings.answer_timeout)
                    .count()),
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
          auto* self = static_cast<State*>(data);
          self->timed_out = true;
          pa_threaded_mainloop_signal(self->loop, 0);
        },
        this);
    while (!done() && failure.empty() && !timed_out) {
      pa_threaded_mainloop_wait(loop);
    }
    if (timer != nullptr) {
      pa_threaded_mainloop_get_api(loop)->time_free(timer);
    }
    if (!done() && failure.empty()) {
      Fail(std::string("the sound server does not answer (") + what + ")");
    }
  }
};

PulseStream::PulseStream(const PulseStreamSettings& settings) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.settings = settings;
  s.loop = pa_threaded_mainloop_new();
  if (s.loop == nullptr) {
    throw std::runtime_error(NoAudio("cannot start the sound client"));
  }
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "a11y");
  s.context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(s.loop), "Quillon Reader",
                                           properties);
  pa_proplist_free(properties);
  if (s.context == nullptr) {
    pa_threaded_mainloop_free(s.loop);
    throw std::runtime_error(NoAudio("cannot start the sound client"));
  }
  pa_context_set_state_callback(
      s.context,
      [](pa_context* context, void* data) {
        const pa_context_state_t state = pa_context_get_state(context);
        static_cast<State*>(data)->StateChanged(state == PA_CONTEXT_FAILED ||
                                                state == PA_CONTEXT_TERMINATED);
      },
      &s);
  {
    LoopLock lock(s.loop);
    if (pa_threaded_mainloop_start(s.loop) < 0) {
      s.Fail("cannot start the sound client");
    } else if (pa_context_connect(s.context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
      s.FailFromContext();
    } else {
      s.WaitFor([&] { return pa_context_get_state(s.context) == PA_CONTEXT_READY; }, "connecting");
    }
    if (s.failure.empty()) {
      pa_sample_spec sample_format{};
      sample_format.format = PA_SAMPLE_S16NE;
      sample_format.rate = static_cast<std::uint32_t>(settings.sample_rate);
      sample_format.channels = 1;
      s.stream = pa_stream_new(s.context, "Reading aloud", &sample_format, nullptr);
      if (s.stream == nullptr) {
        s.FailFromContext();
      }
    }
    if (s.failure.empty()) {
      pa_stream_set_state_callback(
          s.stream,
          [](pa_stream* stream, void* data) {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            static_cast<State*>(data)->StateChanged(state == PA_STREAM_FAILED ||
                                                    state == PA_STREAM_TERMINATED);
          },
          &s);
      pa_stream_set_write_callback(
          s.stream,
          [](pa_stream*, std::size_t, void* data) { static_cast<State*>(data)->Feed(true); }, &s);
      pa_stream_set_underflow_callback(
          s.stream, [](pa_stream*, void* data) { ++static_cast<State*>(data)->underruns; }, &s);
      const auto bytes = [&](std::chrono::milliseconds ms) {
        return static_cast<std::uint32_t>(ms.count() * settings.sample_rate / 1000 *
                                          static_cast<long>(sizeof(std::int16_t)));
      };
      pa_buffer_attr attr{};
      attr.maxlength = static_cast<std::uint32_t>(-1);
      attr.tlength = bytes(settings.latency);
      // As much as tlength before playing, at the start and again after an underrun: the server
      // then waits for the samples that come late and plays them late. Never 0, with which it
      // plays on through an underrun and skips what arrives late (330 ms of a 400 ms stall).
      attr.prebuf = static_cast<std::uint32_t>(-1);
      attr.minreq = bytes(settings.latency / 4);
      attr.fragsize = static_cast<std::uint32_t>(-1);
      const auto flags =
          static_cast<pa_stream_flags_t>(PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
      if (pa_stream_connect_playback(s.stream, nullptr, &attr, flags, nullptr, nullptr) < 0) {
        s.FailFromContext();
      } else {
        s.WaitFor([&] { return pa_stream_get_state(s.stream) == PA_STREAM_READY; },
                  "opening the stream");
      }
    }
  }
  if (!s.failure.empty()) {
    const std::string failure = s.failure;
    Close();
    throw std::runtime_error(failure);
  }
}

PulseStream::~PulseStream() {
  Close();
}

void PulseStream::Close() {
  if (!state_) {
    return;
  }
  State& s = *state_;
  pa_threaded_mainloop_stop(s.loop);
  if (s.fill_timer != nullptr) {
    pa_threaded_mainloop_get_api(s.loop)->time_free(s.fill_timer);
  }
  if (s.stream != nullptr) {
    pa_stream_set_state_callback(s.stream, nullptr, nullptr);
    pa_stream_set_write_callback(s.stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(s.stream, nullptr, nullptr);
    pa_stream_disconnect(s.stream);
    pa_stream_unref(s.stream);
  }
  pa_context_set_state_callback(s.context, nullptr, nullptr);
  pa_context_disconnect(s.context);
  pa_context_unref(s.context);
  pa_threaded_mainloop_free(s.loop);
  state_.reset();
}

std::uint64_t PulseStream::Queue(std::span<const std::int16_t> samples) {
  State& s = *state_;
  LoopLock lock(s.loop);
  if (!s.failure.empty()) {
    throw std::runtime_error(s.failure);
  }
  const std::uint64_t first = s.written + s.Queued();
  s.queue.insert(s.queue.end(), samples.begin(), samples.end());
  s.last_queued = Clock::now();
  s.primed = true;
  if (s.corked && !s.paused) {
    pa_operation* op = pa_stream_cork(s.stream, 0, nullptr, nullptr);
    if (op != nullptr) {
      pa_operation_unref(op);
    }
    s.corked = false;
  }
  s.Feed(false);
  return first;
}

PulseStream::Playing PulseStream::Position() {
  State& s = *state_;
  LoopLock lock(s.loop);
  const Clock::time_point now = Clock::now();
  if (s.failure.empty() && s.timing_pending && now - s.timing_asked > s.settings.answer_timeout) {
    s.Fail("the sound server does not answer");
  }
  if (!s.failure.empty()) {
    throw std::runtime_error(s.failure);
  }
  if (!s.timing_pending && now - s.timing_asked >= kTimingInterval) {
    pa_operation* op = pa_stream_update_timing_info(
        s.stream,
        [](pa_stream*, int, void* data) { static_cast<State*>(data)->timing_pending = false; }, &s);
    if (op == nullptr) {
      s.FailFromContext();
      throw std::runtime_error(s.failure);
    }
    pa_operation_unref(op);
    s.timing_pending = true;
    s.timing_asked = now;
  }
  // The server's last report: the sample it was reading, and how far behind that the loudspeaker
  // is; from then on the stream plays at its rate while the sink plays it. (libpulse's own
  // interpolation smooths this over seconds and is far off for a while after a start.)
  const pa_timing_info* timing = pa_stream_get_timing_info(s.stream);
  if (timing == nullptr) {
    return Playing{0, now};  // no report yet: nothing has been played
  }
  const double rate = s.settings.sample_rate;
  const auto read = static_cast<std::uint64_t>(std::max<std::int64_t>(timing->read_index, 0)) /
                    sizeof(std::int16_t);
  double played = static_cast<double>(read) - static_cast<double>(timing->sink_usec) * rate / 1e6;
  if (timing->playing && !s.corked) {
    const pa_usec_t since = pa_timeval_age(&timing->timestamp) + timing->transport_usec;
    played += static_cast<double>(since) * rate / 1e6;
  }
  // Nothing beyond what the server held at the report is played (a stream that has just started
  // reports playing with nothing in it).
  const double held =
      static_cast<double>(std::max<std::int64_t>(timing->write_index, 0)) / sizeof(std::int16_t);
  played = std::clamp(played, 0.0, std::min(held, static_cast<double>(s.written)));
  return Playing{static_cast<std::uint64_t>(played), now, read};
}

void PulseStream::SetPaused(bool paused) {
  State& s = *state_;
  LoopLock lock(s.loop);
  if (paused == s.paused || s.stream == nullptr || !s.failure.empty()) {
    s.paused = paused && s.failure.empty();
    return;
  }
  s.paused = paused;
  // Resumed, the stream plays what is queued; with nothing queued it pauses again once idle.
  s.last_fed = Clock::now();
  const bool cork = paused || !s.primed;
  if (cork != s.corked) {
    pa_operation* op = pa_stream_cork(s.stream, cork ? 1 : 0, nullptr, nullptr);
    if (op != nullptr) {
      pa_operation_unref(op);
    }
    s.corked = cork;
  }
}

bool PulseStream::Paused() const {
  LoopLock lock(state_->loop);
  return state_->paused;
}

std::uint64_t PulseStream::Underruns() const {
  LoopLock lock(state_->loop);
  return state_->underruns;
}

int PulseStream::SampleRate() const {
  return state_->settings.sample_rate;
}

}  // namespace quillon
