#include "speech/audio_file.h"

#include <sndfile.h>

#include <stdexcept>

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
  }
  return "wav";
}

AudioFileWriter::AudioFileWriter(const std::string& path, AudioFormat format, int sample_rate)
    : path_(path) {
  SF_INFO info{};
  info.samplerate = sample_rate;
  info.channels = 1;
  switch (format) {
    case AudioFormat::Wav:
      info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
      break;
    case AudioFormat::Flac:
      info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
      break;
    case AudioFormat::Ogg:
      info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
      break;
  }
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    throw std::runtime_error("Cannot write the audio file " + path + ": " + sf_strerror(nullptr));
  }
  if (format == AudioFormat::Ogg) {
    double quality = 0.4;  // speech: well below music quality, still clean
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
  }
  file_ = file;
}

AudioFileWriter::~AudioFileWriter() {
  if (file_ != nullptr) {
    sf_close(static_cast<SNDFILE*>(file_));
  }
}

void AudioFileWriter::Write(std::span<const std::int16_t> samples) {
  if (file_ == nullptr) {
    throw std::runtime_error("Cannot write the audio file " + path_ + ": it is closed");
  }
  if (samples.empty()) {
    return;
  }
  const sf_count_t written = sf_write_short(static_cast<SNDFILE*>(file_), samples.data(),
                                            static_cast<sf_count_t>(samples.size()));
  if (written != static_cast<sf_count_t>(samples.size())) {
    throw std::runtime_error("Cannot write the audio file " + path_ + ": " +
                             sf_strerror(static_cast<SNDFILE*>(file_)));
  }
  frames_ += samples.size();
}

void AudioFileWriter::Close() {
  if (file_ == nullptr) {
    return;
  }
  SNDFILE* file = static_cast<SNDFILE*>(file_);
  file_ = nullptr;
  sf_write_sync(file);
  if (sf_close(file) != 0) {
    throw std::runtime_error("Cannot finish the audio file " + path_);
  }
}

}  // namespace quillon
