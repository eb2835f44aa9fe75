#include "tests/speech/private_sound_server.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace quillon::testing {
namespace {

class SoundServer {
 public:
  SoundServer() {
    if (std::getenv("PULSE_SERVER") != nullptr) {
      return;
    }
    dir_ = (std::filesystem::temp_directory_path() / ("quillon-bench-" + std::to_string(getpid())))
               .string();
    if (Script("start") != 0) {
      std::fprintf(stderr, "cannot start the PipeWire server in %s\n", dir_.c_str());
      std::exit(1);
    }
    setenv("PULSE_SERVER", ("unix:" + dir_ + "/native").c_str(), 1);
    setenv("QUILLON_PIPEWIRE_DIR", dir_.c_str(), 1);
  }
  ~SoundServer() {
    if (!dir_.empty()) {
      Script("stop");
      std::filesystem::remove_all(dir_);
    }
  }
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

 private:
  int Script(const char* command) {
    const std::string line = "sh '" QUILLON_SOURCE_DIR "/tests/speech/pipewire_server.sh' " +
                             std::string(command) + " '" + dir_ + "' >/dev/null 2>&1";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string dir_;
};

}  // namespace

void UsePrivateSoundServer() {
  static SoundServer server;
}

}  // namespace quillon::testing
