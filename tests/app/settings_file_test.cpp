#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

#include "tests/app/as_ordinary_user.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_support::AsOrdinaryUser;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quillon-settings-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, ignored);
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (fs::path(path_) / name).string(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TEST(SettingsPathForProgram, ReplacesOrAppendsTheExtension) {
  struct Case {
    const char* program;
    const char* settings;
  };
  // clang-format off
  const Case cases[] = {
    {"/opt/q/bin/quillon-reader",     "/opt/q/bin/quillon-reader.INI"},
    {"/opt/q/bin/QuillonReader.exe",  "/opt/q/bin/QuillonReader.INI"},
    {"/opt/q.d/bin/quillon-reader",   "/opt/q.d/bin/quillon-reader.INI"},
    {"/home/me/.reader",              "/home/me/.reader.INI"},
    {"reader",                        "reader.INI"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(SettingsPathForProgram(c.program), c.settings) << c.program;
  }
}

TEST(ParseSettingsInteger, ValueForms) {
  struct Case {
    std::string value;
    std::optional<std::int32_t> expected;
  };
  const std::string long_decimal = std::string(2990, '0') + "1234567890";
  // clang-format off
  const Case cases[] = {
    {"0",            0},
    {"42",           42},
    {"-17",          -17},
    {"+5",           5},
    {"0x1F",         31},
    {"0X1f",         31},
    {"$1F",          31},
    {"-$10",         -16},
    {"$FFFFFFFF",    -1},
    {"0x80000000",   INT32_MIN},
    {"2147483647",   INT32_MAX},
    {"-2147483648",  INT32_MIN},
    {"0x",           std::nullopt},  // two characters: not hexadecimal, and no number
    {"0x1",          1},
    {"$",            std::nullopt},
    {"$1G",          std::nullopt},
    {"$100000000",   std::nullopt},
    {"2147483648",   std::nullopt},
    {"12abc",        std::nullopt},
    {"1 2",          std::nullopt},
    {"",             std::nullopt},
    {"-",            std::nullopt},
    {"1F",           std::nullopt},
    {long_decimal,   1234567890},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(ParseSettingsInteger(c.value), c.expected) << '"' << c.value << '"';
  }
}

TEST(SettingsFile, MissingFileGivesDefaults) {
  const TempDir dir;
  const SettingsFile file(dir.File("none.INI"));
  EXPECT_EQ(file.ReadInteger("Metrics", "Left", 293), 293);
  EXPECT_FALSE(file.ReadBool("Bookmarks", "Flag", false));
  EXPECT_TRUE(file.ReadBool("Bookmarks", "Flag", true));
  EXPECT_FALSE(file.ReadString("Metrics", "Left"));
}

TEST(SettingsFile, StoredValuesAreReadInTheirForms) {
  const TempDir dir;
  const std::string path = dir.File("forms.INI");
  const std::string long_value(3000, '7');
  WriteAll(path,
           "[Bookmarks]\n"
           "Hex=0x1F\n"
           "Dollar=$1F\n"
           "Junk=12abc\n"
           "Empty=\n"
           "Spaced =  12  \n"
           "Quoted=\"34\"\n"
           "Long=" +
               long_value +
               "\n"
               "Truth=2\n"
               "Untruth=0\n"
               "NoBool=yes\n");
  const SettingsFile file(path);
  // clang-format off
  const struct { const char* key; std::int32_t expected; } cases[] = {
    {"Hex",     31},
    {"Dollar",  31},
    {"Junk",    -5},
    {"Empty",   -5},
    {"Spaced",  12},
    {"Quoted",  34},
    {"Long",    -5},   // 2,047 sevens are read: far beyond the integer range
    {"Missing", -5},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(file.ReadInteger("Bookmarks", c.key, -5), c.expected) << c.key;
  }
  EXPECT_EQ(file.ReadString("Bookmarks", "Long")->size(), kMaxValueChars);
  EXPECT_TRUE(file.ReadBool("Bookmarks", "Truth", false));
  EXPECT_FALSE(file.ReadBool("Bookmarks", "Untruth", true));
  EXPECT_TRUE(file.ReadBool("Bookmarks", "NoBool", true));
  EXPECT_FALSE(file.ReadBool("Bookmarks", "NoBool", false));
}

TEST(SettingsFile, SectionsAndKeysMatchWithoutRegardToCase) {
  const TempDir dir;
  const std::string path = dir.File("case.INI");
  WriteAll(path, "[METRICS]\nleft=10\n[metrics]\nLeft=99\n");
  SettingsFile file(path);
  EXPECT_EQ(file.ReadInteger("Metrics", "LEFT", 0), 10);  // the first section of the name counts
  file.WriteInteger("Metrics", "Left", 11);
  file.WriteInteger("Metrics", "Top", 12);
  EXPECT_EQ(ReadAll(path), "[METRICS]\nLeft=11\nTop=12\n[metrics]\nLeft=99\n");
}

TEST(SettingsFile, WritesKeepForeignLinesAndTheFilesLineEnds) {
  const TempDir dir;
  const std::string path = dir.File("foreign.INI");
  WriteAll(path,
           "; kept by hand\r\n"
           "[Other]\r\n"
           "Colour=blue\r\n"
           "\r\n"
           "[Bookmarks]\r\n"
           "Note=mine\r\n"
           "LastVoice=4\r\n"
           "\r\n"
           "[Tail]\r\n"
           "x=1");
  SettingsFile file(path);
  file.WriteInteger("Bookmarks", "LastVoice", 7);
  file.WriteInteger("Bookmarks", "LastChapter", -3);
  file.WriteBool("Bookmarks", "FirstOccurrenceOfHRInK12HasBeenRead", true);
  file.WriteInteger("Metrics", "Left", 5);
  EXPECT_EQ(ReadAll(path),
            "; kept by hand\r\n"
            "[Other]\r\n"
            "Colour=blue\r\n"
            "\r\n"
            "[Bookmarks]\r\n"
            "Note=mine\r\n"
            "LastVoice=7\r\n"
            "LastChapter=-3\r\n"
            "FirstOccurrenceOfHRInK12HasBeenRead=1\r\n"
            "\r\n"
            "[Tail]\r\n"
            "x=1\r\n"
            "[Metrics]\r\n"
            "Left=5\r\n");
  // Every write reached the file: a new object reads them all.
  const SettingsFile again(path);
  EXPECT_EQ(again.ReadInteger("Bookmarks", "LastChapter", 0), -3);
  EXPECT_TRUE(again.ReadBool("Bookmarks", "FirstOccurrenceOfHRInK12HasBeenRead", false));
}

TEST(SettingsFile, ReadOnlyPlacesRaiseUnableToWriteAndKeepTheFile) {
  const TempDir dir;
  const std::string path = dir.File("locked.INI");
  WriteAll(path, "[Metrics]\nLeft=1\n");
  const auto refused = [&path] {
    SettingsFile file(path);
    try {
      file.WriteInteger("Metrics", "Left", 2);
    } catch (const std::runtime_error& error) {
      return std::string(error.what()) == "Unable to write to " + path &&
             file.ReadInteger("Metrics", "Left", 0) == 1;
    }
    return false;
  };
  const auto read_only = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const auto exec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;

  // A read-only directory, the file itself writable.
  fs::permissions(path, read_only | fs::perms::owner_write | fs::perms::others_write);
  fs::permissions(dir.path(), read_only | exec);
  EXPECT_TRUE(AsOrdinaryUser(refused)) << "read-only directory";
  EXPECT_EQ(ReadAll(path), "[Metrics]\nLeft=1\n");

  // A read-only file in a writable directory: renaming over it would succeed, but is not done.
  fs::permissions(dir.path(), fs::perms::all);
  fs::permissions(path, read_only);
  EXPECT_TRUE(AsOrdinaryUser(refused)) << "read-only file";
  EXPECT_EQ(ReadAll(path), "[Metrics]\nLeft=1\n");
}

TEST(SettingsFile, MissingDirectoryRaisesUnableToWrite) {
  const TempDir dir;
  const std::string path = dir.File("no/such/dir/x.INI");
  SettingsFile file(path);
  try {
    file.WriteBool("Bookmarks", "Flag", true);
    FAIL() << "the write should have been refused";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
  }
}

TEST(SettingsFile, WritesLeaveNoTemporaryFilesAndKeepThePermissions) {
  const TempDir dir;
  const std::string path = dir.File("tidy.INI");
  WriteAll(path, "[Metrics]\n");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  SettingsFile file(path);
  for (int i = 0; i < 5; ++i) {
    file.WriteInteger("Metrics", "Left", i);
  }
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(ReadAll(path), "[Metrics]\nLeft=4\n");
}

// What lies at the settings path, and what reading and one write make of it.
struct FaultCase {
  const char* name;
  std::function<void(const std::string& path)> make;  // puts something at the path
  bool as_ordinary_user;                              // root could read what the mode forbids
  std::int32_t left_read;                             // Metrics/Left, default -1
  bool write_succeeds;                                // writing Metrics/Top=60
  std::string content_after;                          // empty: not a regular file to compare
};

TEST(SettingsFile, ReadingNeverFailsAndAFileThatCannotBeReadIsNeverReplaced) {
  const std::string bom = "\xEF\xBB\xBF";
  const auto file = [](std::string content,
                       fs::perms perms = fs::perms::owner_read | fs::perms::owner_write) {
    return [content, perms](const std::string& path) {
      WriteAll(path, content);
      fs::permissions(path, perms);
    };
  };
  const auto all_may_write = fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all;
  // clang-format off
  const FaultCase cases[] = {
    {"missing",              [](const std::string&) {},                              false, -1,  true,  "[Metrics]\nTop=60\n"},
    {"empty",                file(""),                                               false, -1,  true,  "[Metrics]\nTop=60\n"},
    {"a directory",          [](const std::string& p) { fs::create_directory(p); },  false, -1,  false, ""},
    {"a fifo",               [](const std::string& p) { ::mkfifo(p.c_str(), 0666); }, false, -1,  false, ""},
    {"a link to a device",   [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
                                                                                     false, -1,  false, ""},
    {"write-only",           file("[Metrics]\nLeft=5\n", fs::perms::owner_write | fs::perms::others_write),
                                                                                     true,  -1,  false, "[Metrics]\nLeft=5\n"},
    {"BOM and CR LF",        file(bom + "[Metrics]\r\nLeft=100\r\nTop=50\r\n"),     false, 100, true,
                             bom + "[Metrics]\r\nLeft=100\r\nTop=60\r\n"},
    {"BOM and LF",           file(bom + "[metrics]\nLeft=7\n"),                      false, 7,   true,
                             bom + "[metrics]\nLeft=7\nTop=60\n"},
    {"BOM alone",            file(bom),                                              false, -1,  true,
                             bom + "[Metrics]\nTop=60\n"},
    {"CR LF, no last end",   file("[Metrics]\r\nLeft=3"),                            false, 3,   true,
                             "[Metrics]\r\nLeft=3\r\nTop=60\r\n"},
    {"binary junk",          file(std::string("\0\xFF[\n=\r\r\n", 8)),              false, -1,  true,
                             std::string("\0\xFF[\n=\r\n[Metrics]\nTop=60\n", 24)},
  };
  // clang-format on
  for (const FaultCase& c : cases) {
    const TempDir dir;
    fs::permissions(dir.path(), all_may_write);
    const std::string path = dir.File("reader.INI");
    c.make(path);
    const auto check = [&c, &path] {
      SettingsFile settings(path);
      bool ok = settings.ReadInteger("Metrics", "Left", -1) == c.left_read;
      try {
        settings.WriteInteger("Metrics", "Top", 60);
        ok = ok && c.write_succeeds;
      } catch (const std::runtime_error& error) {
        ok = ok && !c.write_succeeds && std::string(error.what()) == "Unable to write to " + path;
      }
      return ok;
    };
    EXPECT_TRUE(c.as_ordinary_user ? AsOrdinaryUser(check) : check()) << c.name;
    if (!c.content_after.empty()) {
      fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
      EXPECT_EQ(ReadAll(path), c.content_after) << c.name;
    }
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) {
      ++entries;
    }
    EXPECT_LE(entries, 1) << c.name << ": a temporary file was left";
  }
}

// Each write changes the file as it is then, even with one object kept across all writes.
TEST(SettingsFile, TwoProcessesWritingAtOnceLoseNoKey) {
  const TempDir dir;
  const std::string path = dir.File("shared.INI");
  constexpr int kKeys = 200;
  const auto writer = [&path](const char* prefix) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      SettingsFile file(path);
      for (int i = 0; i < kKeys; ++i) {
        file.WriteInteger("Keys", prefix + std::to_string(i), i);
      }
      ::_exit(0);
    }
    return pid;
  };
  const pid_t writers[] = {writer("a"), writer("b")};
  for (const pid_t pid : writers) {
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const SettingsFile file(path);
  int lost = 0;
  for (const char* prefix : {"a", "b"}) {
    for (int i = 0; i < kKeys; ++i) {
      lost += file.ReadInteger("Keys", prefix + std::to_string(i), -1) != i;
    }
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SettingsFile, ALinkIsWrittenThroughAndStaysALink) {
  // clang-format off
  const struct {
    const char* name;
    const char* link_to;  // relative to the link's folder
    const char* before;   // what real/target.INI holds first; null: missing (a dangling link)
    const char* after;    // null: the write is refused
  } cases[] = {
    {"to a file",           "real/target.INI", "[Other]\nx=1\n",     "[Other]\nx=1\n[Metrics]\nLeft=7\nTop=8\n"},
    {"dangling",            "real/target.INI", nullptr,              "[Metrics]\nLeft=7\nTop=8\n"},
    {"to a link to a file", "second.INI",      "[Metrics]\nLeft=1\n", "[Metrics]\nLeft=7\nTop=8\n"},
    {"a loop",              "reader.INI",      nullptr,              nullptr},
  };
  // clang-format on
  for (const auto& c : cases) {
    const TempDir dir;
    fs::create_directory(dir.File("real"));
    if (c.before != nullptr) {
      WriteAll(dir.File("real/target.INI"), c.before);
    }
    fs::create_symlink("real/target.INI", dir.File("second.INI"));
    const std::string path = dir.File("reader.INI");
    fs::create_symlink(c.link_to, path);
    SettingsFile file(path);
    if (c.after == nullptr) {
      EXPECT_THROW(file.WriteInteger("Metrics", "Left", 1), std::runtime_error);
      EXPECT_TRUE(fs::is_symlink(path));
      continue;
    }
    file.WriteInteger("Metrics", "Left", 7);
    file.WriteInteger("Metrics", "Top", 8);
    EXPECT_TRUE(fs::is_symlink(path)) << c.name;
    EXPECT_EQ(fs::read_symlink(path), c.link_to) << c.name;
    EXPECT_TRUE(fs::is_symlink(dir.File("second.INI"))) << c.name;
    EXPECT_EQ(ReadAll(dir.File("real/target.INI")), c.after) << c.name;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("real")), fs::directory_iterator()), 1)
        << c.name << ": a temporary or lock file was left";
  }
}

TEST(SettingsFile, ALocationThatMakesItsFolderMakesItOnTheFirstWrite) {
  const TempDir dir;
  const std::string path = dir.File("config/quillon-reader/quillon-reader.INI");
  SettingsFile file(SettingsLocation(path, true));
  EXPECT_EQ(file.ReadInteger("Metrics", "Left", -1), -1);
  EXPECT_FALSE(fs::exists(dir.File("config")));  // reading makes nothing
  file.WriteInteger("Metrics", "Left", 9);
  EXPECT_EQ(ReadAll(path), "[Metrics]\nLeft=9\n");
  EXPECT_EQ(fs::status(dir.File("config/quillon-reader")).permissions(), fs::perms::owner_all);

  // A file where a folder should be: the write is refused.
  WriteAll(dir.File("blocked"), "");
  const std::string blocked = dir.File("blocked/quillon-reader.INI");
  SettingsFile refused(SettingsLocation(blocked, true));
  try {
    refused.WriteInteger("Metrics", "Left", 9);
    FAIL() << "the write should have been refused";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + blocked);
  }
}

}  // namespace
}  // namespace quillon
