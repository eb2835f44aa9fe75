// Audio files: what is written reads back whole, and a WAV file beyond its size limit is RF64.
#include "speech/audio_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::vector<std::int16_t> Samples(std::size_t count) {
  std::vector<std::int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
  }
  return samples;
}

struct ReadBack {
  int major_format = 0;
  std::vector<std::int16_t> samples;
};

ReadBack Read(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    return {};
  }
  ReadBack result{info.format & SF_FORMAT_TYPEMASK,
                  std::vector<std::int16_t>(static_cast<std::size_t>(info.frames))};
  result.samples.resize(static_cast<std::size_t>(
      sf_read_short(file, result.samples.data(), static_cast<sf_count_t>(result.samples.size()))));
  sf_close(file);
  return result;
}

class AudioFileTest : public testing::Test {
 protected:
  AudioFileTest() {
    std::string pattern = (fs::temp_directory_path() / "quillon-audio-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  ~AudioFileTest() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(AudioFileTest, AWavFileBeyondItsLimitBecomesRf64WithEverySample) {
  struct Case {
    AudioFormat format;
    std::size_t frames;
    std::uint64_t limit;
    int major_format;
  };
  // Written in blocks of 700 frames, so the limit falls inside a block.
  // clang-format off
  const Case cases[] = {
    {AudioFormat::Wav,  3000, kMaxWavFrames, SF_FORMAT_WAV},
    {AudioFormat::Wav,  2800, 2800,          SF_FORMAT_WAV},   // exactly at the limit
    {AudioFormat::Wav,  3000, 1000,          SF_FORMAT_RF64},
    {AudioFormat::Wav,  3000, 0,             SF_FORMAT_RF64},
    {AudioFormat::Flac, 3000, 1000,          SF_FORMAT_FLAC},  // only WAV has the limit
  };
  // clang-format on
  for (const Case& c : cases) {
    const std::string path = dir_ + "/out." + std::string(AudioFormatExtension(c.format));
    const std::vector<std::int16_t> samples = Samples(c.frames);
    {
      AudioFileWriter writer(path, c.format, 22050, {"", c.limit});
      for (std::size_t at = 0; at < samples.size(); at += 700) {
        writer.Write(std::span(samples).subspan(at, std::min<std::size_t>(700, c.frames - at)));
      }
      writer.Close();
      EXPECT_EQ(writer.FramesWritten(), c.frames);
    }
    const ReadBack back = Read(path);
    EXPECT_EQ(back.major_format, c.major_format) << c.frames << " frames, limit " << c.limit;
    EXPECT_EQ(back.samples, samples) << c.frames << " frames, limit " << c.limit;
    EXPECT_FALSE(fs::exists(path + "~"));
    fs::remove(path);
  }
}

TEST_F(AudioFileTest, MessagesNameTheFileAsShown) {
  try {
    AudioFileWriter writer(dir_ + "/missing/.x.part", AudioFormat::Wav, 22050,
                           {"book/01-opening.wav"});
    FAIL() << "the file should not have been made";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(
        std::string(error.what()).rfind("Cannot write the audio file book/01-opening.wav: ", 0), 0u)
        << error.what();
  }
}

}  // namespace
}  // namespace quillon
