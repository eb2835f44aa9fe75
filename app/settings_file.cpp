#include "app/settings_file.h"

#include <fcntl.h>
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

void SettingsFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
  std::vector<std::string> lines = lines_;
  std::string entry = std::string(key) + "=" + std::string(value);
  if (const auto range = FindSection(lines, section)) {
    if (const auto line = FindKey(lines, *range, key)) {
      lines[*line] = std::move(entry);
    } else {
      // After the section's last non-blank line, so blank lines before the next section stay there.
      std::size_t at = range->second;
      while (at > range->first && TrimBlanks(lines[at - 1]).empty()) {
        --at;
      }
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    }
  } else {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(std::move(entry));
  }
  std::swap(lines, lines_);
  try {
    Store();
  } catch (...) {
    std::swap(lines, lines_);  // what we hold stays what the file holds
    throw;
  }
}

void SettingsFile::WriteInteger(std::string_view section, std::string_view key,
                                std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void SettingsFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void SettingsFile::Store() const {
  if (refuse_writes_) {
    ThrowUnableToWrite(path_);
  }
  if (make_folder_ && !MakeFoldersAbove(path_)) {
    ThrowUnableToWrite(path_);
  }
  std::string target = path_;
  std::error_code error;
  if (std::filesystem::is_symlink(target, error)) {
    const auto resolved = std::filesystem::weakly_canonical(target, error);
    if (!error) {
      target = resolved.string();
    }
  }
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  // A file the system would not let us change stays as it is, even in a writable directory; a
  // directory or a device is no settings file to replace.
  if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
    ThrowUnableToWrite(path_);
  }

  std::string content(byte_order_mark_ ? kByteOrderMark : std::string_view());
  for (const std::string& line : lines_) {
    content += line;
    content += line_end_;
  }

  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    ThrowUnableToWrite(path_);
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
    ThrowUnableToWrite(path_);
  }
}

}  // namespace quillon
