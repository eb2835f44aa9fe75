// Worker processes for a rendering: espeak-ng is one engine per process, so chapters are made side
// by side in processes of their own, each telling the parent what it does in lines on a pipe.
//
// Workers are started by fork() from a parent that starts no thread and no synthesizer, each in a
// process group of its own (a terminal's Ctrl+C reaches the parent only, which passes the stop on
// once) and ended by the system if the parent dies.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::tool {

// What a worker uses to tell the parent something: one line, no line feed in it. Safe on any of
// the worker's threads.
class WorkerPipe {
 public:
  explicit WorkerPipe(int fd) : fd_(fd) {}
  void Send(std::string_view line);

 private:
  int fd_;
  std::mutex mutex_;
};

class WorkerProcesses {
 public:
  using Work = std::function<void(std::size_t worker, WorkerPipe& pipe)>;
  // count workers, each running work(worker, pipe) and then ending, at most `parallel` at a time,
  // started in order by Run.
  WorkerProcesses(std::size_t count, std::size_t parallel, Work work);
  ~WorkerProcesses();  // ends the workers still running and waits for them
  WorkerProcesses(const WorkerProcesses&) = delete;
  WorkerProcesses& operator=(const WorkerProcesses&) = delete;

  // Starts the workers and reads their lines until every one started has ended: on_line for each
  // line, on_tick about ten times a second. Returns, for each worker, whether it ran and ended
  // normally (exit status 0). Throws std::runtime_error when a process cannot be started (the
  // ones running are ended).
  std::vector<bool> Run(
      const std::function<void(std::size_t worker, std::string_view line)>& on_line,
      const std::function<void()>& on_tick);
  // Sends signal to every worker running; no more are started.
  void Signal(int signal);
  // No more workers are started; those running go on.
  void StopStarting() { starting_ = false; }

 private:
  struct Worker {
    std::size_t index = 0;
    pid_t pid = -1;
    int fd = -1;  // the read end of its pipe
    std::string pending;
    bool running = true;
    bool ended_well = false;
  };
  void Start(std::size_t index);
  void Reap(Worker& worker, bool wait);
  std::size_t count_;
  std::size_t parallel_;
  Work work_;
  bool starting_ = true;
  std::vector<Worker> workers_;  // started, in order
};

}  // namespace quillon::tool
