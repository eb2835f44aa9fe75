#include "app/file_locations.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace quillon {

#ifndef QUILLON_DATA_FROM_PROGRAM
#define QUILLON_DATA_FROM_PROGRAM "../share/quillon-reader"
#endif
const char* const kDataFromProgram = QUILLON_DATA_FROM_PROGRAM;

namespace {

constexpr const char* kConfigFolder = "quillon-reader";
constexpr const char* kConfigFile = "quillon-reader.INI";

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) {
    return ".";
  }
  return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

bool IsReadableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string DataFolderOf(std::string_view program_path) {
  return FolderOf(program_path) + "/" + kDataFromProgram;
}

ProgramPlace DescribeProgramPlace(const std::string& program_path) {
  ProgramPlace place;
  place.program_path = program_path;
  const std::string folder = FolderOf(program_path);
  place.folder_writable = ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) == 0;
  place.installed = IsFolder(DataFolderOf(program_path));
  place.xdg_config_home = Environment("XDG_CONFIG_HOME");
  place.home = Environment("HOME");
  if (place.home.empty()) {
    if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr && user->pw_dir != nullptr) {
      place.home = user->pw_dir;
    }
  }
  return place;
}

SettingsLocation ChooseSettingsLocation(const ProgramPlace& place) {
  if (place.folder_writable && !place.installed) {
    return SettingsLocation(SettingsPathForProgram(place.program_path));
  }
  // Relative paths in XDG_CONFIG_HOME are invalid and ignored.
  std::string config = place.xdg_config_home;
  if (config.empty() || config.front() != '/') {
    if (place.home.empty() || place.home.front() != '/') {
      return SettingsLocation(SettingsPathForProgram(place.program_path));
    }
    config = place.home + "/.config";
  }
  while (config.size() > 1 && config.back() == '/') {
    config.pop_back();
  }
  return SettingsLocation(config + "/" + kConfigFolder + "/" + kConfigFile, true);
}

std::string FindDocument(const std::string& name, std::string_view program_path) {
  if (IsReadableFile(name) || name.find('/') != std::string::npos) {
    return name;
  }
  const std::string installed = DataFolderOf(program_path) + "/" + name;
  return IsReadableFile(installed) ? installed : name;
}

}  // namespace quillon
