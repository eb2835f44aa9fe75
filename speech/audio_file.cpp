#include "speech/audio_file.h"

#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace quillon {

std::optional<AudioFormat> AudioFormatFromName(std::string_view name) {
  std::string lower;
  for (char c : name) {
    lower.push_back(static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c));
  }
  if (lower == "wav") {
    return AudioFormat::Wav;
  }
  if (lower == "flac") {
    return AudioFormat::Flac;
  }
  if (lower == "ogg") {
    return AudioFormat::Ogg;
  }
  return std::nullopt;
}

std::string_view AudioFormatExtension(AudioFormat format) {
  switch (format) {
    case AudioFormat::Wav:
      return "wav";
    case AudioFormat::Flac:
      return "flac";
    case AudioFormat::Ogg:
      return "ogg";
    case AudioFormat::Mp3:
      return "mp3";
  }
  return "wav";
}

namespace {

SNDFILE* OpenForWriting(const std::string& path, int major_format, int sample_rate) {
  SF_INFO info{};
  info.samplerate = sample_rate;
  info.channels = 1;
  info.format = major_format | (major_format == SF_FORMAT_OGG    ? SF_FORMAT_VORBIS
                                : major_format == SF_FORMAT_MPEG ? SF_FORMAT_MPEG_LAYER_III
                                                                 : SF_FORMAT_PCM_16);
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file != nullptr && major_format == SF_FORMAT_OGG) {
    double quality = 0.4;  // speech: well below music quality, still clean
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
  }
  if (file != nullptr && major_format == SF_FORMAT_MPEG) {
    // Constant bit rate: reading systems seek in it by byte offset, exactly. 48 kbit/s at the
    // synthesizer's 22,050 Hz keeps speech clean.
    int mode = SF_BITRATE_MODE_CONSTANT;
    sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof(mode));
    double compression = 0.6;
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &compression, sizeof(compression));
  }
  return file;
}

int MajorFormat(AudioFormat format) {
  switch (format) {
    case AudioFormat::Wav:
      return SF_FORMAT_WAV;
    case AudioFormat::Flac:
      return SF_FORMAT_FLAC;
    case AudioFormat::Ogg:
      return SF_FORMAT_OGG;
    case AudioFormat::Mp3:
      return SF_FORMAT_MPEG;
  }
  return SF_FORMAT_WAV;
}

}  // namespace

AudioFileWriter::AudioFileWriter(const std::string& path, AudioFormat format, int sample_rate,
                                 AudioFileOptions options)
    : path_(path), format_(format), sample_rate_(sample_rate), options_(std::move(options)) {
  if (options_.shown_name.empty()) {
    options_.shown_name = path_;
  }
  file_ = OpenForWriting(path_, MajorFormat(format_), sample_rate_);
  if (file_ == nullptr) {
    Fail("Cannot write the audio file ", sf_strerror(nullptr));
  }
}

AudioFileWriter::~AudioFileWriter() {
  if (file_ != nullptr) {
    sf_close(static_cast<SNDFILE*>(file_));
  }
}

void AudioFileWriter::Fail(const std::string& what, const std::string& reason) const {
  throw std::runtime_error(what + options_.shown_name + (reason.empty() ? "" : ": " + reason));
}

void AudioFileWriter::Write(std::span<const std::int16_t> samples) {
  if (file_ == nullptr) {
    Fail("Cannot write the audio file ", "it is closed");
  }
  if (samples.empty()) {
    return;
  }
  if (format_ == AudioFormat::Wav && !rf64_ &&
      frames_ + samples.size() > options_.wav_frame_limit) {
    SwitchToRf64();
  }
  const sf_count_t written = sf_write_short(static_cast<SNDFILE*>(file_), samples.data(),
                                            static_cast<sf_count_t>(samples.size()));
  if (written != static_cast<sf_count_t>(samples.size())) {
    Fail("Cannot write the audio file ", sf_strerror(static_cast<SNDFILE*>(file_)));
  }
  frames_ += samples.size();
}

void AudioFileWriter::SwitchToRf64() {
  // The WAV file is finished as it stands, moved aside, and copied into an RF64 file that takes its
  // name; the copy goes on from there. A failure leaves neither half behind under the name.
  SNDFILE* wav = static_cast<SNDFILE*>(std::exchange(file_, nullptr));
  if (sf_close(wav) != 0) {
    Fail("Cannot finish the audio file ", "");
  }
  const std::string aside = path_ + "~";
  if (std::rename(path_.c_str(), aside.c_str()) != 0) {
    Fail("Cannot write the audio file ", std::strerror(errno));
  }
  struct RemoveAside {
    const std::string& path;
    ~RemoveAside() { std::remove(path.c_str()); }
  } remove_aside{aside};

  SF_INFO info{};
  SNDFILE* from = sf_open(aside.c_str(), SFM_READ, &info);
  if (from == nullptr) {
    Fail("Cannot write the audio file ", sf_strerror(nullptr));
  }
  SNDFILE* to = OpenForWriting(path_, SF_FORMAT_RF64, sample_rate_);
  if (to == nullptr) {
    sf_close(from);
    Fail("Cannot write the audio file ", sf_strerror(nullptr));
  }
  file_ = to;
  rf64_ = true;
  std::vector<std::int16_t> block(1 << 16);
  std::uint64_t copied = 0;
  for (;;) {
    const sf_count_t n = sf_read_short(from, block.data(), static_cast<sf_count_t>(block.size()));
    if (n <= 0) {
      break;
    }
    if (sf_write_short(to, block.data(), n) != n) {
      sf_close(from);
      Fail("Cannot write the audio file ", sf_strerror(to));
    }
    copied += static_cast<std::uint64_t>(n);
  }
  sf_close(from);
  if (copied != frames_) {
    Fail("Cannot write the audio file ", "its first part could not be read back");
  }
}

void AudioFileWriter::Close() {
  if (file_ == nullptr) {
    return;
  }
  SNDFILE* file = static_cast<SNDFILE*>(file_);
  file_ = nullptr;
  sf_write_sync(file);
  if (sf_close(file) != 0) {
    Fail("Cannot finish the audio file ", "");
  }
}

}  // namespace quillon
