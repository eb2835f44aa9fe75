// SIGINT and SIGTERM as a request to stop long work cleanly.
//
// While a StopSignals object lives, the first SIGINT or SIGTERM is only recorded; the work looks
// at it at its next check (ThrowIfStopRequested) and ends in its own way: files in progress
// removed, what was done reported, exit code 128 + the signal. A second SIGINT or SIGTERM ends the
// program at once, as without this object. SIGXFSZ is ignored meanwhile, so a write beyond a
// file-size limit fails with an error the work reports instead of killing the program.
#pragma once

#include <stdexcept>
#include <string>

namespace quillon::tool {

// Thrown by ThrowIfStopRequested.
class StopRequested : public std::runtime_error {
 public:
  explicit StopRequested(int signal);
  int Signal() const { return signal_; }
  int ExitCode() const { return 128 + signal_; }

 private:
  int signal_;
};

class StopSignals {
 public:
  StopSignals();   // installs the handlers
  ~StopSignals();  // puts the earlier handlers back
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal received (SIGINT or SIGTERM), or 0. Safe on any thread.
  static int Received();
  // Throws StopRequested when a signal has been received.
  static void ThrowIfStopRequested();
};

// "SIGINT", "SIGTERM", or "signal N".
std::string SignalName(int signal);

}  // namespace quillon::tool
