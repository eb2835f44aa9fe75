#include "tools/quillon-tool/pending_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace quillon::tool {
namespace {

namespace fs = std::filesystem;

class PendingFileTest : public testing::Test {
 protected:
  PendingFileTest() {
    std::string pattern = (fs::temp_directory_path() / "quillon-pending-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  ~PendingFileTest() override { fs::remove_all(dir_); }

  int Entries() const {
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) {
      ++entries;
    }
    return entries;
  }

  fs::path dir_;
};

TEST(FinalNameOfTemporary, ReadsOnlyTheNamesPendingFilesMake) {
  // clang-format off
  const struct { const char* name; std::optional<std::string> final_name; } cases[] = {
    {".04-chapter-03.wav.Ab12Cd.part",   "04-chapter-03.wav"},
    {".04-chapter-03.wav.Ab12Cd.part~",  "04-chapter-03.wav"},  // beside it while it became RF64
    {".x.000000.part",                   "x"},
    {"04-chapter-03.wav.Ab12Cd.part",    std::nullopt},         // not hidden
    {".04-chapter-03.wav.Ab1-Cd.part",   std::nullopt},
    {".04-chapter-03.wav.Ab12C.part",    std::nullopt},         // five letters
    {".04-chapter-03.wavAb12Cd.part",    std::nullopt},
    {"..Ab12Cd.part",                    std::nullopt},         // no name
    {".04-chapter-03.wav.Ab12Cd.par",    std::nullopt},
    {".04-chapter-03.wav",               std::nullopt},
    {"",                                 std::nullopt},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(FinalNameOfTemporary(c.name), c.final_name) << c.name;
  }
}

TEST_F(PendingFileTest, TheFinalNameAppearsOnlyOnCommitAndReplacesAnEarlierFile) {
  const fs::path final_path = dir_ / "01-opening.wav";
  std::ofstream(final_path) << "earlier";
  const mode_t mask = ::umask(022);
  {
    PendingFile file(final_path);
    const fs::path temporary = file.TemporaryPath();
    EXPECT_EQ(temporary.parent_path(), dir_);
    EXPECT_EQ(FinalNameOfTemporary(temporary.filename().string()), "01-opening.wav");
    std::ofstream(temporary) << "complete";
    EXPECT_EQ(Entries(), 2);
    file.Commit();
    EXPECT_FALSE(fs::exists(temporary));
  }
  ::umask(mask);
  std::ifstream in(final_path);
  std::string content;
  in >> content;
  EXPECT_EQ(content, "complete");
  EXPECT_EQ(fs::status(final_path).permissions(), fs::perms::owner_read | fs::perms::owner_write |
                                                      fs::perms::group_read |
                                                      fs::perms::others_read);
  EXPECT_EQ(Entries(), 1);
}

TEST_F(PendingFileTest, WithoutCommitNothingIsLeftAndTwoFilesNeverShareATemporaryName) {
  const fs::path final_path = dir_ / "02-chapter-01.flac";
  {
    PendingFile first(final_path);
    PendingFile second(final_path);
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    std::ofstream(first.TemporaryPath()) << "half";
    std::ofstream(first.TemporaryPath() + "~") << "aside";
    EXPECT_EQ(Entries(), 3);
    second.Discard();
    EXPECT_EQ(Entries(), 2);
    EXPECT_THROW(second.Commit(), std::runtime_error);
  }
  EXPECT_EQ(Entries(), 0);
}

TEST_F(PendingFileTest, AFolderThatTakesNoFileIsReportedByTheFinalName) {
  const fs::path final_path = dir_ / "missing" / "03-chapter-02.ogg";
  try {
    PendingFile file(final_path);
    FAIL() << "no file should have been made";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot make the file " + final_path.string() + ": No such file or directory");
  }
}

}  // namespace
}  // namespace quillon::tool
