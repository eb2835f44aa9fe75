#include "tools/quillon-tool/render_workers.h"

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace quillon::tool {

void WorkerPipe::Send(std::string_view line) {
  std::string message(line);
  message.push_back('\n');
  std::lock_guard lock(mutex_);
  const char* at = message.data();
  std::size_t left = message.size();
  while (left > 0) {
    const ssize_t written = write(fd_, at, left);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return;  // the parent is gone: nobody to tell
    }
    at += written;
    left -= static_cast<std::size_t>(written);
  }
}

WorkerProcesses::WorkerProcesses(std::size_t count, std::size_t parallel, Work work)
    : count_(count), parallel_(std::max<std::size_t>(parallel, 1)), work_(std::move(work)) {}

void WorkerProcesses::Start(std::size_t index) {
  int fds[2];
  if (pipe(fds) != 0) {
    throw std::runtime_error(std::string("Cannot start a rendering process: ") +
                             std::strerror(errno));
  }
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    const int error = errno;
    close(fds[0]);
    close(fds[1]);
    throw std::runtime_error(std::string("Cannot start a rendering process: ") +
                             std::strerror(error));
  }
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    for (const Worker& other : workers_) {
      if (other.fd >= 0) {
        close(other.fd);
      }
    }
    int status = 0;
    try {
      WorkerPipe pipe(fds[1]);
      work_(index, pipe);
    } catch (...) {
      status = 1;
    }
    std::fflush(nullptr);
    _exit(status);
  }
  close(fds[1]);
  workers_.push_back({index, pid, fds[0], {}, true, false});
}

WorkerProcesses::~WorkerProcesses() {
  Signal(SIGTERM);
  for (Worker& worker : workers_) {
    Reap(worker, true);
  }
}

void WorkerProcesses::Reap(Worker& worker, bool wait) {
  if (!worker.running) {
    return;
  }
  int status = 0;
  pid_t got;
  do {
    got = waitpid(worker.pid, &status, wait ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == worker.pid || got < 0) {
    worker.running = false;
    worker.ended_well = got == worker.pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    close(worker.fd);
    worker.fd = -1;
  }
}

void WorkerProcesses::Signal(int signal) {
  starting_ = false;
  for (const Worker& worker : workers_) {
    if (worker.running) {
      kill(worker.pid, signal);
    }
  }
}

std::vector<bool> WorkerProcesses::Run(
    const std::function<void(std::size_t worker, std::string_view line)>& on_line,
    const std::function<void()>& on_tick) {
  for (;;) {
    const auto running = static_cast<std::size_t>(
        std::count_if(workers_.begin(), workers_.end(), [](const Worker& w) { return w.running; }));
    for (std::size_t more = running; starting_ && more < parallel_ && workers_.size() < count_;
         ++more) {
      Start(workers_.size());
    }
    std::vector<pollfd> polled;
    std::vector<std::size_t> whose;
    for (std::size_t i = 0; i < workers_.size(); ++i) {
      if (workers_[i].running) {
        polled.push_back({workers_[i].fd, POLLIN, 0});
        whose.push_back(i);
      }
    }
    if (polled.empty()) {
      break;
    }
    const int ready = poll(polled.data(), polled.size(), 100);
    if (ready < 0 && errno != EINTR) {
      break;
    }
    for (std::size_t k = 0; ready > 0 && k < polled.size(); ++k) {
      if (polled[k].revents == 0) {
        continue;
      }
      Worker& worker = workers_[whose[k]];
      char buffer[1 << 16];
      const ssize_t got = read(worker.fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got <= 0) {
        Reap(worker, true);  // its end of the pipe is closed: it has ended
        continue;
      }
      worker.pending.append(buffer, static_cast<std::size_t>(got));
      std::size_t from = 0;
      for (std::size_t end; (end = worker.pending.find('\n', from)) != std::string::npos;
           from = end + 1) {
        on_line(worker.index, std::string_view(worker.pending).substr(from, end - from));
      }
      worker.pending.erase(0, from);
    }
    if (on_tick) {
      on_tick();
    }
  }
  std::vector<bool> ended_well(count_, false);
  for (const Worker& worker : workers_) {
    ended_well[worker.index] = worker.ended_well;
  }
  return ended_well;
}

}  // namespace quillon::tool
