// Watches raw sound (16-bit mono samples on standard input, as parec writes a sink's monitor) and
// says when sound starts and when it has ended, on the system clock (milliseconds since 1970, as
// `date +%s%3N` prints them), one line each, flushed:
//   loud MS    a sample beyond the threshold after a quiet spell
//   quiet MS   no such sample for QUIET_MS milliseconds; MS is when the last one arrived
//   sound_watch [QUIET_MS [THRESHOLD]]
// Times are those of arrival, a few tens of milliseconds behind the sink. A monitor that sends
// nothing (an idle sink may stop its stream) counts as quiet.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  const long long quiet_ms = argc > 1 ? std::atoll(argv[1]) : 1500;
  const int threshold = argc > 2 ? std::atoi(argv[2]) : 200;
  bool loud = false;
  long long last_loud = 0;
  std::int16_t block[160];  // 10 ms at 16 kHz
  std::size_t filled = 0;   // bytes of the block read so far
  const auto end_of_sound = [&] {
    std::printf("quiet %lld\n", last_loud);
    std::fflush(stdout);
    loud = false;
  };
  for (;;) {
    pollfd input{0, POLLIN, 0};
    if (::poll(&input, 1, 50) == 0) {
      if (loud && NowMs() - last_loud >= quiet_ms) {
        end_of_sound();
      }
      continue;
    }
    const ssize_t n = ::read(0, reinterpret_cast<char*>(block) + filled, sizeof block - filled);
    if (n <= 0) {
      return 0;
    }
    filled += static_cast<std::size_t>(n);
    const long long now = NowMs();
    const std::size_t samples = filled / sizeof(std::int16_t);
    bool any = false;
    for (std::size_t i = 0; i < samples; ++i) {
      any = any || std::abs(block[i]) > threshold;
    }
    if (any) {
      last_loud = now;
      if (!loud) {
        std::printf("loud %lld\n", now);
        std::fflush(stdout);
        loud = true;
      }
    } else if (loud && now - last_loud >= quiet_ms) {
      end_of_sound();
    }
    if (filled == sizeof block) {
      filled = 0;
    }
  }
}
