#include "tools/quillon-tool/pending_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <utility>

namespace quillon::tool {
namespace {

constexpr std::string_view kSuffix = ".part";
constexpr std::size_t kRandomLetters = 6;

bool IsLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string RandomLetters(std::mt19937& generator) {
  static constexpr char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
  std::string letters;
  for (std::size_t i = 0; i < kRandomLetters; ++i) {
    letters.push_back(kAlphabet[pick(generator)]);
  }
  return letters;
}

// Flushes what the path names (a file or a folder) to the disk.
bool Sync(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const bool synced = ::fsync(fd) == 0;
  return (::close(fd) == 0) && synced;
}

}  // namespace

PendingFile::PendingFile(std::filesystem::path final_path) : final_(std::move(final_path)) {
  std::random_device seed;
  std::mt19937 generator(seed());
  const std::filesystem::path folder = final_.parent_path();
  const std::string prefix = "." + final_.filename().string() + ".";
  for (int attempt = 0;; ++attempt) {
    temporary_ = (folder / (prefix + RandomLetters(generator) + std::string(kSuffix))).string();
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return;
    }
    if (errno != EEXIST || attempt == 100) {
      throw std::runtime_error("Cannot make the file " + final_.string() + ": " +
                               std::strerror(errno));
    }
  }
}

PendingFile::~PendingFile() {
  Discard();
}

void PendingFile::Commit() {
  if (!open_) {
    throw std::runtime_error("Cannot write the file " + final_.string() + ": it was removed");
  }
  if (!Sync(temporary_, O_RDONLY) || std::rename(temporary_.c_str(), final_.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    Discard();
    throw std::runtime_error("Cannot write the file " + final_.string() + ": " + reason);
  }
  open_ = false;
  // The new name on the disk too; a folder that cannot be synced is no reason to fail.
  const std::filesystem::path folder = final_.parent_path();
  Sync(folder.empty() ? std::string(".") : folder.string(), O_RDONLY | O_DIRECTORY);
}

void PendingFile::Discard() {
  if (open_) {
    open_ = false;
    std::remove(temporary_.c_str());
    std::remove((temporary_ + "~").c_str());
  }
}

std::optional<std::string> FinalNameOfTemporary(std::string_view name) {
  if (name.ends_with('~')) {
    name.remove_suffix(1);
  }
  const std::size_t overhead = 1 + 1 + kRandomLetters + kSuffix.size();  // "." NAME "." XXXXXX
  if (name.size() <= overhead || name.front() != '.' || !name.ends_with(kSuffix)) {
    return std::nullopt;
  }
  name.remove_suffix(kSuffix.size());
  const std::string_view letters = name.substr(name.size() - kRandomLetters);
  for (const char c : letters) {
    if (!IsLetterOrDigit(c)) {
      return std::nullopt;
    }
  }
  name.remove_suffix(kRandomLetters);
  if (!name.ends_with('.')) {
    return std::nullopt;
  }
  name.remove_suffix(1);
  name.remove_prefix(1);
  return std::string(name);
}

}  // namespace quillon::tool
