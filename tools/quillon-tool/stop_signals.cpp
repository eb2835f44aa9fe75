#include "tools/quillon-tool/stop_signals.h"

#include <signal.h>

#include <atomic>

namespace quillon::tool {
namespace {

std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

struct sigaction g_earlier_int {};
struct sigaction g_earlier_term {};
struct sigaction g_earlier_xfsz {};

extern "C" void OnStopSignal(int signal) {
  int none = 0;
  g_received.compare_exchange_strong(none, signal);
  // The next SIGINT or SIGTERM has its default effect and ends the program.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGINT, &fallback, nullptr);
  sigaction(SIGTERM, &fallback, nullptr);
}

}  // namespace

StopRequested::StopRequested(int signal)
    : std::runtime_error("Interrupted by " + SignalName(signal)), signal_(signal) {}

StopSignals::StopSignals() {
  g_received = 0;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_earlier_int);
  sigaction(SIGTERM, &action, &g_earlier_term);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &g_earlier_xfsz);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &g_earlier_int, nullptr);
  sigaction(SIGTERM, &g_earlier_term, nullptr);
  sigaction(SIGXFSZ, &g_earlier_xfsz, nullptr);
}

int StopSignals::Received() {
  return g_received.load(std::memory_order_relaxed);
}

void StopSignals::ThrowIfStopRequested() {
  if (const int signal = Received(); signal != 0) {
    throw StopRequested(signal);
  }
}

std::string SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "signal " + std::to_string(signal);
  }
}

}  // namespace quillon::tool
