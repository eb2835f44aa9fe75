// Audio files written on a thread of their own, each under a temporary name until it is complete.
//
// The synthesis thread hands over blocks of samples and goes on; blocks and file changes keep
// their order. Every file is made as a PendingFile and takes its final name when it is closed
// whole; a failure, or Abandon, removes the file in progress, so no file under a final name is
// ever partial. Errors name the file by its final name.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "speech/audio_file.h"

namespace quillon::tool {

class AudioFileThread {
 public:
  // Called on the writer's thread for each file that has taken its final name.
  using OnComplete = std::function<void(const std::string& final_path, std::uint64_t frames)>;
  // Called on the writer's thread for a file begun and then removed, not complete.
  using OnRemoved = std::function<void(const std::string& final_path)>;

  AudioFileThread(OnComplete on_complete, OnRemoved on_removed);
  ~AudioFileThread();  // abandons what is not finished
  AudioFileThread(const AudioFileThread&) = delete;
  AudioFileThread& operator=(const AudioFileThread&) = delete;

  // Each rethrows the writer's first error, if there was one.
  void Open(std::string final_path, AudioFormat format, int rate);
  void Write(std::span<const std::int16_t> samples);
  void Close();

  // Waits for everything handed over to be written; rethrows the writer's first error.
  void Finish();
  // Drops what is queued, removes the file in progress and waits for the thread to end.
  void Abandon();

 private:
  struct Item {
    std::string path;  // open this file
    AudioFormat format;
    int rate;
    std::vector<std::int16_t> samples;  // write these
    bool close;                         // close the file
  };

  void Push(Item item);
  void Loop();
  void Stop(bool abandon);

  OnComplete on_complete_;
  OnRemoved on_removed_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // About 25 minutes of audio at 22,050 Hz (32 MB) per writer.
  static constexpr std::size_t kQueuedSamples = 16u << 20;
  std::deque<Item> items_;
  std::size_t queued_ = 0;
  bool stopping_ = false;
  bool abandoning_ = false;
  bool failed_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace quillon::tool
