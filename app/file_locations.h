// Where the reader finds its novel and keeps its settings file, free of Qt.
//
// The novel: the name as given, resolved against the current directory; when it is not there and
// the name has no folder part, the installed data folder, found relative to the program's own
// folder (kDataFromProgram, "../share/quillon-reader" for the usual layout), so a prefix that is
// moved elsewhere still works.
//
// The settings file: beside the program with the extension ".INI" when the program's folder may be
// written and the program is not installed (the build tree, a portable copy in a folder of its
// own); otherwise $XDG_CONFIG_HOME/quillon-reader/quillon-reader.INI ($HOME/.config when
// XDG_CONFIG_HOME is not set or not an absolute path), whose folder is made on the first write. An
// installed program never writes beside itself: its folder belongs to the system, even for root.
#pragma once

#include <string>
#include <string_view>

#include "app/settings_file.h"

namespace quillon {

// The installed data folder relative to the program's folder (set by the build from the install
// layout).
extern const char* const kDataFromProgram;

// The program's folder and what the settings rule needs to know of the system.
struct ProgramPlace {
  std::string program_path;      // the program's absolute path
  bool folder_writable = false;  // whether the program's folder may be written
  bool installed = false;        // whether the installed data folder lies beside it
  std::string xdg_config_home;   // $XDG_CONFIG_HOME, empty when not set
  std::string home;              // $HOME, or the user's home folder from the password database
};

// Looks at the system for program_path: its folder, the environment, the user's home folder.
ProgramPlace DescribeProgramPlace(const std::string& program_path);

// The settings file for a program in that place (see above). When no home folder is known at all,
// the file beside the program, which may then fail to be written with "Unable to write to".
SettingsLocation ChooseSettingsLocation(const ProgramPlace& place);

// The installed data folder of a program: its folder joined with kDataFromProgram.
std::string DataFolderOf(std::string_view program_path);

// The document to load for name: name itself when it can be read from the current directory (or
// has a folder part), else the installed data folder's copy when that can be read, else name
// (whose loading then reports the missing file by the name as given).
std::string FindDocument(const std::string& name, std::string_view program_path);

}  // namespace quillon
