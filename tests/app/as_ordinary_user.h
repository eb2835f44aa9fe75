// Runs a test's body as an ordinary user: root may write where the permissions say no.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace quillon::testing_support {

// The body's result; as root it runs in a child process that has become "nobody", and comes
// back as the child's exit status.
inline bool AsOrdinaryUser(const std::function<bool()>& body) {
  if (::geteuid() != 0) {
    return body();
  }
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    ::_exit(dropped && body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quillon::testing_support
