// Audio files through libsndfile: 16-bit mono WAV, FLAC or Ogg Vorbis.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

enum class AudioFormat { Wav, Flac, Ogg };

// "wav", "flac" or "ogg" (any case); nothing for another name.
std::optional<AudioFormat> AudioFormatFromName(std::string_view name);
// "wav", "flac" or "ogg": the file name extension.
std::string_view AudioFormatExtension(AudioFormat format);

class AudioFileWriter {
 public:
  // Creates (or replaces) the file; throws std::runtime_error naming the file when it cannot.
  AudioFileWriter(const std::string& path, AudioFormat format, int sample_rate);
  ~AudioFileWriter();  // closes the file; use Close to see errors
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  void Write(std::span<const std::int16_t> samples);
  // Finishes the file (headers, last Ogg pages); throws on a failing write.
  void Close();

  std::uint64_t FramesWritten() const { return frames_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  void* file_ = nullptr;  // SNDFILE*
  std::uint64_t frames_ = 0;
};

}  // namespace quillon
