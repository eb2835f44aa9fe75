#include "app/file_locations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/app/as_ordinary_user.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_support::AsOrdinaryUser;

TEST(ChooseSettingsLocation, BesideAWritableUninstalledProgramElseUnderXdgConfigHome) {
  struct Case {
    bool writable;
    bool installed;
    const char* xdg_config_home;
    const char* home;
    const char* path;
    bool make_folder;
  };
  const char* beside = "/opt/q/bin/quillon-reader.INI";
  const char* xdg = "/x/cfg/quillon-reader/quillon-reader.INI";
  const char* home = "/home/me/.config/quillon-reader/quillon-reader.INI";
  // clang-format off
  const Case cases[] = {
    {true,  false, "/x/cfg",  "/home/me", beside, false},  // the build tree, a portable copy
    {false, false, "/x/cfg",  "/home/me", xdg,    true},
    {true,  true,  "/x/cfg",  "/home/me", xdg,    true},   // installed: never beside it, even as root
    {false, false, "/x/cfg/", "/home/me", xdg,    true},
    {false, false, "",        "/home/me", home,   true},
    {false, false, "cfg",     "/home/me", home,   true},   // a relative XDG_CONFIG_HOME is ignored
    {false, false, "",        "",         beside, false},  // no home at all: writing will fail
    {false, false, "",        "me",       beside, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    const ProgramPlace place{"/opt/q/bin/quillon-reader", c.writable, c.installed,
                             c.xdg_config_home, c.home};
    const SettingsLocation location = ChooseSettingsLocation(place);
    EXPECT_EQ(location.path, c.path) << c.writable << c.installed << c.xdg_config_home << c.home;
    EXPECT_EQ(location.make_folder, c.make_folder) << c.path;
  }
}

class ProgramFolder : public testing::Test {
 protected:
  ProgramFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillon-place-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    fs::permissions(root_, fs::perms::all);
    fs::create_directories(root_ / "bin");
    program_ = (root_ / "bin" / "quillon-reader").string();
    std::ofstream(program_) << "";
  }
  ~ProgramFolder() override { fs::remove_all(root_); }

  void Install(const std::string& name) const {
    fs::create_directories(root_ / "share" / "quillon-reader");
    std::ofstream(root_ / "share" / "quillon-reader" / name) << "book";
  }

  fs::path root_;
  std::string program_;
};

TEST_F(ProgramFolder, DescribesTheProgramsFolderAndTheEnvironment) {
  ::setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
  ::setenv("HOME", "/home/me", 1);
  ProgramPlace place = DescribeProgramPlace(program_);
  EXPECT_EQ(place.program_path, program_);
  EXPECT_FALSE(place.installed);
  EXPECT_EQ(place.xdg_config_home, "/x/cfg");
  EXPECT_EQ(place.home, "/home/me");
  Install("novel.rtf");
  EXPECT_TRUE(DescribeProgramPlace(program_).installed);

  // A folder the user may not write, as /usr/bin is to everyone but root.
  fs::permissions(root_ / "bin", fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
  EXPECT_TRUE(AsOrdinaryUser([this] { return !DescribeProgramPlace(program_).folder_writable; }));
  fs::permissions(root_ / "bin", fs::perms::all);
  EXPECT_TRUE(AsOrdinaryUser([this] { return DescribeProgramPlace(program_).folder_writable; }));
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(ProgramFolder, TheNovelIsLookedForHereFirstThenInTheInstalledDataFolder) {
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  fs::create_directories(root_ / "run");
  ASSERT_EQ(::chdir((root_ / "run").c_str()), 0);
  const std::string installed = (root_ / "bin" / kDataFromProgram / "novel.rtf").string();
  struct Case {
    const char* what;
    bool here;
    bool in_data_folder;
    std::string name;
    std::string found;
  };
  // clang-format off
  const Case cases[] = {
    {"neither",          false, false, "novel.rtf",     "novel.rtf"},
    {"only installed",   false, true,  "novel.rtf",     installed},
    {"both",             true,  true,  "novel.rtf",     "novel.rtf"},
    {"only here",        true,  false, "novel.rtf",     "novel.rtf"},
    {"a folder part",    false, true,  "./novel.rtf",   "./novel.rtf"},
  };
  // clang-format on
  for (const Case& c : cases) {
    fs::remove_all(root_ / "share");
    fs::remove(root_ / "run" / "novel.rtf");
    if (c.here) {
      std::ofstream(root_ / "run" / "novel.rtf") << "book";
    }
    if (c.in_data_folder) {
      Install("novel.rtf");
    }
    EXPECT_EQ(FindDocument(c.name, program_), c.found) << c.what;
  }
  // A folder under the novel's name is no novel.
  fs::remove(root_ / "run" / "novel.rtf");
  fs::create_directory(root_ / "run" / "novel.rtf");
  EXPECT_EQ(FindDocument("novel.rtf", program_), installed);
  ASSERT_EQ(::chdir(previous), 0);
}

}  // namespace
}  // namespace quillon
