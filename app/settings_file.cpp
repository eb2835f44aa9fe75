#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "text/text_primitives.h"

namespace quillon {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && blank(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

// The name of a section header line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') {
    return std::nullopt;
  }
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  return TrimBlanks(line.substr(0, close));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string_view> KeyName(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos || SectionName(line)) {
    return std::nullopt;
  }
  return TrimBlanks(line.substr(0, eq));
}

// Lines [first, last) of the first section with this name, first being the line after the header.
std::optional<std::pair<std::size_t, std::size_t>> FindSection(
    const std::vector<std::string>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(lines[i]);
    if (name && EqualsIgnoringAsciiCase(*name, section)) {
      std::size_t end = i + 1;
      while (end < lines.size() && !SectionName(lines[end])) {
        ++end;
      }
      return std::make_pair(i + 1, end);
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<std::string>& lines,
                                   std::pair<std::size_t, std::size_t> range,
                                   std::string_view key) {
  for (std::size_t i = range.first; i < range.second; ++i) {
    const auto name = KeyName(lines[i]);
    if (name && EqualsIgnoringAsciiCase(*name, key)) {
      return i;
    }
  }
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A settings file is a few hundred bytes; anything beyond this is no settings file of ours.
constexpr off_t kMaxFileBytes = 16 << 20;

struct FileContent {
  enum State { Missing, Read, Unreadable } state = Missing;
  std::string bytes;
};

// The whole file, or why there is none. Nothing here throws for what lies at the path.
FileContent ReadWholeFile(const std::string& path) {
  FileContent result;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    result.state = errno == ENOENT ? FileContent::Missing : FileContent::Unreadable;
    return result;
  }
  struct stat info {};
  result.state = FileContent::Unreadable;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxFileBytes) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > kMaxFileBytes) {
        break;
      }
      if (n == 0) {
        result.state = FileContent::Read;
        result.bytes = std::move(bytes);
        break;
      }
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return result;
}

// Makes the missing folders above path, each readable by the user alone.
bool MakeFoldersAbove(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::filesystem::path made;
  for (const auto& part : folder) {
    made /= part;
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
      return false;
    }
  }
  struct stat info {};
  return folder.empty() || (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

[[noreturn]] void ThrowUnableToWrite(const std::string& path) {
  throw std::runtime_error("Unable to write to " + path);
}

// Where writes go: the file the path names once symbolic links are followed, dangling ones too, so
// a link is written through and keeps pointing where it pointed. Nothing for a loop of links or a
// link that cannot be read.
std::optional<std::string> FollowLinks(const std::string& path) {
  constexpr int kMaxLinks = 40;  // as the system allows in one path
  std::filesystem::path target = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return target.string();
    }
    std::error_code error;
    const std::filesystem::path next = std::filesystem::read_symlink(target, error);
    if (error) {
      return std::nullopt;
    }
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return std::nullopt;
}

// A file the system would not let us change stays as it is, even in a writable directory; a
// directory or a device is no settings file to replace.
bool MayReplace(const std::string& target) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) != 0) {
    return errno == ENOENT;
  }
  return S_ISREG(existing.st_mode) && ::access(target.c_str(), W_OK) == 0;
}

// An exclusive lock for one read-change-write of a settings file, so that programs writing the
// same file at once never lose each other's keys: flock on a lock file beside it, removed again
// when the lock is released. A lock taken on a lock file that its holder removed meanwhile is
// taken again on the one now at the path. Where the file system has no locks, writes go on
// without one, as they always did.
class WriteLock {
 public:
  explicit WriteLock(std::string path) : path_(std::move(path)) {
    constexpr int kMaxAttempts = 1000;  // each retry means another program wrote meanwhile
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
      const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
      if (fd < 0) {
        return;
      }
      int locked = 0;
      while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
      }
      if (locked != 0) {
        fd_ = fd;  // no locks here
        return;
      }
      struct stat held {};
      struct stat named {};
      if (::fstat(fd, &held) == 0 && ::stat(path_.c_str(), &named) == 0 &&
          held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        fd_ = fd;
        return;
      }
      ::close(fd);
    }
  }
  ~WriteLock() {
    if (fd_ >= 0) {
      ::unlink(path_.c_str());
      ::close(fd_);
    }
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

  bool Held() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
};

// Writes content to a temporary file beside target, with target's permissions (0644 for a new
// file), and renames it over target. False when anything fails; target is then unchanged.
bool ReplaceFile(const std::string& target, std::string_view content) {
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    return false;
  }
  bool ok = ::fchmod(fd, exists ? (existing.st_mode & 07777) : 0644) == 0;
  std::size_t written = 0;
  while (ok && written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    ok = n > 0;
    if (ok) {
      written += static_cast<std::size_t>(n);
    }
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
  }
  return ok;
}

}  // namespace

std::string SettingsPathForProgram(std::string_view program_path) {
  const std::size_t slash = program_path.rfind('/');
  const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = program_path.rfind('.');
  // A leading dot (".hidden") is part of the name, not an extension.
  if (dot != std::string_view::npos && dot > name_start) {
    program_path = program_path.substr(0, dot);
  }
  return std::string(program_path) + ".INI";
}

std::optional<std::int32_t> ParseSettingsInteger(std::string_view value) {
  std::string_view s = TrimBlanks(value);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  bool hex = false;
  if (!s.empty() && s.front() == '$') {
    hex = true;
    s.remove_prefix(1);
  } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    hex = true;
    s.remove_prefix(2);
  }
  if (s.empty()) {
    return std::nullopt;
  }
  std::uint64_t magnitude = 0;
  const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
  for (const char c : s) {
    const int digit = hex ? HexDigit(c) : ((c >= '0' && c <= '9') ? c - '0' : -1);
    if (digit < 0) {
      return std::nullopt;
    }
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (magnitude > limit) {
      return std::nullopt;
    }
  }
  // Hexadecimal wraps into the signed range as a 32-bit pattern.
  const auto bits = static_cast<std::uint32_t>(negative ? (0 - magnitude) : magnitude);
  return static_cast<std::int32_t>(bits);
}

SettingsFile::SettingsFile(SettingsLocation location)
    : path_(std::move(location.path)), make_folder_(location.make_folder) {
  const FileContent file = ReadWholeFile(path_);
  refuse_writes_ = file.state == FileContent::Unreadable;
  std::string_view content = file.bytes;
  if (content.starts_with(kByteOrderMark)) {
    byte_order_mark_ = true;
    content.remove_prefix(kByteOrderMark.size());
  }
  if (content.empty()) {
    return;
  }
  const std::size_t first_lf = content.find('\n');
  if (first_lf != std::string_view::npos && first_lf > 0 && content[first_lf - 1] == '\r') {
    line_end_ = "\r\n";
  }
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) {
      end = content.size();
    }
    std::string line(content.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

std::optional<std::string> SettingsFile::ReadString(std::string_view section,
                                                    std::string_view key) const {
  const auto range = FindSection(lines_, section);
  if (!range) {
    return std::nullopt;
  }
  const auto line = FindKey(lines_, *range, key);
  if (!line) {
    return std::nullopt;
  }
  const std::string_view text = lines_[*line];
  std::string_view value = TrimBlanks(text.substr(text.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, kMaxValueChars));
}

std::int32_t SettingsFile::ReadInteger(std::string_view section, std::string_view key,
                                       std::int32_t default_value) const {
  const auto text = ReadString(section, key);
  if (!text) {
    return default_value;
  }
  return ParseSettingsInteger(*text).value_or(default_value);
}

bool SettingsFile::ReadBool(std::string_view section, std::string_view key,
                            bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void SettingsFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string entry = std::string(key) + "=" + std::string(value);
  if (const auto range = FindSection(lines_, section)) {
    if (const auto line = FindKey(lines_, *range, key)) {
      lines_[*line] = std::move(entry);
    } else {
      // After the section's last non-blank line, so blank lines before the next section stay there.
      std::size_t at = range->second;
      while (at > range->first && TrimBlanks(lines_[at - 1]).empty()) {
        --at;
      }
      lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    }
  } else {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(entry));
  }
}

std::string SettingsFile::Content() const {
  std::string content(byte_order_mark_ ? kByteOrderMark : std::string_view());
  for (const std::string& line : lines_) {
    content += line;
    content += line_end_;
  }
  return content;
}

void SettingsFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
  if (refuse_writes_ || (make_folder_ && !MakeFoldersAbove(path_))) {
    ThrowUnableToWrite(path_);
  }
  const std::optional<std::string> target = FollowLinks(path_);
  if (!target || !MayReplace(*target)) {
    ThrowUnableToWrite(path_);
  }
  const WriteLock lock(*target + ".lock");
  if (!lock.Held()) {
    ThrowUnableToWrite(path_);
  }
  // The change is made to the file as it is now, so what another program wrote since this object
  // read it is kept.
  SettingsFile current{SettingsLocation(*target)};
  if (current.refuse_writes_ || !MayReplace(*target)) {
    ThrowUnableToWrite(path_);
  }
  current.Set(section, key, value);
  if (!ReplaceFile(*target, current.Content())) {
    ThrowUnableToWrite(path_);
  }
  lines_ = std::move(current.lines_);
  byte_order_mark_ = current.byte_order_mark_;
  line_end_ = std::move(current.line_end_);
}

void SettingsFile::WriteInteger(std::string_view section, std::string_view key,
                                std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void SettingsFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace quillon
