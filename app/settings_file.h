// The settings file: an INI file with sections of "key=value" lines.
//
// One SettingsFile object serves one operation: it reads the file when it is made and writes the
// whole file back at every Write, so each write reaches the disk at once. Sections and keys match
// without regard to case; lines we do not own (other sections, other keys, comments, blank lines)
// survive every write. A write goes to a temporary file beside the settings file that is then
// renamed over it, so a failed or interrupted write never leaves a truncated file behind.
//
// Programs writing one file at once never lose each other's keys: each write holds an exclusive
// lock (flock on "<file>.lock" beside the file, removed again afterwards), reads the file as it is
// then, changes the one key and renames the result over it. A settings path that is a symbolic
// link (dangling or not) is written through: the file it points to is replaced and the link stays.
//
// Reading never fails: a file that is missing, unreadable, a directory or no regular file reads as
// empty. A UTF-8 byte order mark at the start is skipped (and kept on writing), and lines may end
// in LF or CR LF (the file's first line end is kept). A file that exists but could not be read is
// never replaced: every write to it is refused, so what it holds is not lost.
//
// Value forms: integers are written in decimal; when read, a value longer than two characters that
// begins with "0x" or "0X", or one that begins with "$", is hexadecimal, anything else decimal; a
// missing key or an invalid value gives the default; at most kMaxValueChars characters of a value
// are read. Booleans are written "1" and "0" and read as integers (anything but 0 is true).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

inline constexpr std::size_t kMaxValueChars = 2047;

// Where the settings file lies, and whether its folder is made on the first write when missing.
struct SettingsLocation {
  SettingsLocation(std::string file_path, bool make_folder = false)  // NOLINT: a path is a location
      : path(std::move(file_path)), make_folder(make_folder) {}
  SettingsLocation(const char* file_path) : SettingsLocation(std::string(file_path)) {}  // NOLINT

  std::string path;
  // Missing folders of the path are made (readable by the user alone) before the first write.
  bool make_folder = false;
};

// The settings file's path for a program: the program's path with its extension replaced by
// ".INI", or ".INI" appended when the file name has no extension.
std::string SettingsPathForProgram(std::string_view program_path);

// A value as an integer, or nothing when it is no valid integer (see the value forms above).
// Hexadecimal values up to eight digits wrap into the signed range ("$FFFFFFFF" is -1).
std::optional<std::int32_t> ParseSettingsInteger(std::string_view value);

class SettingsFile {
 public:
  // Reads the file; a missing or unreadable file reads as empty.
  explicit SettingsFile(SettingsLocation location);

  const std::string& path() const { return path_; }

  // The value as stored (trimmed, surrounding quotes removed, at most kMaxValueChars characters).
  std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t default_value) const;
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

  // Each write stores the whole file at once. Throws std::runtime_error("Unable to write to " +
  // path) when the system refuses; the file on disk is then unchanged.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

 private:
  // Sets the key in the lines held; writes nothing.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // The file's bytes for the lines held.
  std::string Content() const;

  std::string path_;
  bool make_folder_ = false;
  bool refuse_writes_ = false;      // the file is there but could not be read
  bool byte_order_mark_ = false;    // kept in front of the first line
  std::vector<std::string> lines_;  // without line ends
  std::string line_end_ = "\n";     // the file's own line end is kept
};

}  // namespace quillon
