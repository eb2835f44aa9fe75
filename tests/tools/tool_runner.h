// Runs the built quillon-tool as a program, for tests of exit codes and standard error.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quillon::tool::testing {

struct RunResult {
  int exit_code = -1;
  std::string out;
};

// Runs quillon-tool with the given arguments (already quoted for the shell); standard error is
// kept in err_file.
inline RunResult RunTool(const std::string& arguments, const std::filesystem::path& err_file) {
  const std::string command = std::string("'") + QUILLON_BINARY_DIR + "/bin/quillon-tool' " +
                              arguments + " 2>'" + err_file.string() + "'";
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return result;
  }
  std::array<char, 4096> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    result.out.append(buffer.data(), got);
  }
  const int status = pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace quillon::tool::testing
