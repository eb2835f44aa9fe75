// Audio files through libsndfile: 16-bit mono WAV, FLAC or Ogg Vorbis, and constant-bit-rate MP3
// (MPEG Layer III) for the read-along book.
//
// A WAV file holds at most 4 GiB: its sizes are 32-bit. A WAV file that would grow beyond that
// becomes RF64 (the 64-bit form of WAV) when it gets there: what was written so far is copied into
// an RF64 file under the same name, and writing goes on there. Smaller WAV files are plain WAV.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

enum class AudioFormat { Wav, Flac, Ogg, Mp3 };

// "wav", "flac" or "ogg" (any case); nothing for another name (MP3 is not offered by name).
std::optional<AudioFormat> AudioFormatFromName(std::string_view name);
// "wav", "flac", "ogg" or "mp3": the file name extension.
std::string_view AudioFormatExtension(AudioFormat format);

// The most frames of 16-bit mono a WAV file holds: its RIFF size counts 36 bytes of header chunks
// and the data in 32 bits.
inline constexpr std::uint64_t kMaxWavFrames = (0xFFFFFFFFull - 36) / 2;

struct AudioFileOptions {
  std::string shown_name;                         // the file's name in messages; empty: its path
  std::uint64_t wav_frame_limit = kMaxWavFrames;  // a WAV file beyond this many frames is RF64
};

class AudioFileWriter {
 public:
  // Creates (or replaces) the file; throws std::runtime_error naming the file when it cannot.
  AudioFileWriter(const std::string& path, AudioFormat format, int sample_rate,
                  AudioFileOptions options = {});
  ~AudioFileWriter();  // closes the file; use Close to see errors
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  void Write(std::span<const std::int16_t> samples);
  // Finishes the file (headers, last Ogg pages); throws on a failing write.
  void Close();

  std::uint64_t FramesWritten() const { return frames_; }
  const std::string& Path() const { return path_; }

 private:
  [[noreturn]] void Fail(const std::string& what, const std::string& reason) const;
  void SwitchToRf64();

  std::string path_;
  AudioFormat format_;
  int sample_rate_;
  AudioFileOptions options_;
  void* file_ = nullptr;  // SNDFILE*
  bool rf64_ = false;
  std::uint64_t frames_ = 0;
};

}  // namespace quillon
