#include "tools/quillon-tool/audio_file_thread.h"

#include <memory>
#include <utility>

#include "tools/quillon-tool/pending_file.h"

namespace quillon::tool {
namespace {

// One file in progress: its temporary name and the encoder writing there.
struct OpenFile {
  OpenFile(const std::string& final_path, AudioFormat format, int rate)
      : pending(final_path),
        writer(pending.TemporaryPath(), format, rate, AudioFileOptions{final_path}) {}

  PendingFile pending;  // declared first: the writer closes before the temporary file goes
  AudioFileWriter writer;
};

}  // namespace

AudioFileThread::AudioFileThread(OnComplete on_complete, OnRemoved on_removed)
    : on_complete_(std::move(on_complete)),
      on_removed_(std::move(on_removed)),
      thread_([this] { Loop(); }) {}

AudioFileThread::~AudioFileThread() {
  Abandon();
}

void AudioFileThread::Open(std::string final_path, AudioFormat format, int rate) {
  Push(Item{std::move(final_path), format, rate, {}, false});
}

void AudioFileThread::Write(std::span<const std::int16_t> samples) {
  Push(Item{
      {}, AudioFormat::Wav, 0, std::vector<std::int16_t>(samples.begin(), samples.end()), false});
}

void AudioFileThread::Close() {
  Push(Item{{}, AudioFormat::Wav, 0, {}, true});
}

void AudioFileThread::Finish() {
  Stop(false);
  std::lock_guard lock(mutex_);
  if (error_) {
    std::rethrow_exception(std::exchange(error_, nullptr));
  }
}

void AudioFileThread::Abandon() {
  Stop(true);
}

void AudioFileThread::Stop(bool abandon) {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    if (abandon) {
      abandoning_ = true;
      items_.clear();
      queued_ = 0;
    }
    changed_.notify_all();
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

void AudioFileThread::Push(Item item) {
  std::unique_lock lock(mutex_);
  if (failed_) {
    std::rethrow_exception(error_);
  }
  // A bounded queue: synthesis runs at most kQueuedSamples ahead of this file's encoding.
  changed_.wait(lock, [this] { return queued_ < kQueuedSamples || failed_; });
  if (failed_) {
    std::rethrow_exception(error_);
  }
  queued_ += item.samples.size();
  items_.push_back(std::move(item));
  changed_.notify_all();
}

void AudioFileThread::Loop() {
  std::unique_ptr<OpenFile> file;
  std::string in_progress;  // the final name of the file begun, until it is complete
  const auto remove = [&] {
    file.reset();
    if (!in_progress.empty()) {
      on_removed_(std::exchange(in_progress, {}));
    }
  };
  const auto finish = [&] {
    if (file) {
      file->writer.Close();
      file->pending.Commit();
      on_complete_(file->pending.FinalPath().string(), file->writer.FramesWritten());
      file.reset();
      in_progress.clear();
    }
  };
  bool abandoned = false;
  try {
    for (;;) {
      Item item;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || !items_.empty(); });
        abandoned = abandoning_;
        if (abandoned || items_.empty()) {
          break;
        }
        item = std::move(items_.front());
        items_.pop_front();
        queued_ -= item.samples.size();
        changed_.notify_all();
      }
      if (!item.path.empty()) {
        finish();
        in_progress = item.path;
        file = std::make_unique<OpenFile>(item.path, item.format, item.rate);
      } else if (item.close) {
        finish();
      } else if (file) {
        file->writer.Write(item.samples);
      }
    }
    if (abandoned) {
      remove();
      return;
    }
    finish();
  } catch (...) {
    remove();
    std::lock_guard lock(mutex_);
    error_ = std::current_exception();
    failed_ = true;
    items_.clear();
    queued_ = 0;
    changed_.notify_all();
  }
}

}  // namespace quillon::tool
