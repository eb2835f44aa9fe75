#include "speech/pulse_voice.h"

#include <algorithm>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <thread>
#include <vector>

#include "speech/espeak_input.h"
#include "speech/espeak_synthesizer.h"
#include "speech/markup_parser.h"

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

// The longest Speak sleeps between two looks at the played position.
constexpr std::chrono::milliseconds kLookInterval{10};
// A server that answers but reads nothing of the stream for this long does not play it. (A sink
// may read seconds ahead of the loudspeaker and then wait: the PulseAudio null sink does.)
constexpr std::chrono::seconds kStuckAfter{10};

// One text on its way to the loudspeaker: the synthesis thread queues its samples and words, the
// thread in Speak follows the played position.
class Playback {
 public:
  explicit Playback(PulseStream& stream) : stream_(stream) {}

  // On the synthesis thread.
  void Queue(std::span<const std::int16_t> samples) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) {
        throw std::runtime_error("stopped");  // ends the synthesis; Speak reports why
      }
    }
    const std::uint64_t at = stream_.Queue(samples);
    std::lock_guard lock(mutex_);
    chunks_.push_back({rendered_, at});
    for (std::size_t i = samples.size(); i > 0; --i) {
      if (samples[i - 1] != 0) {
        last_audible_ = rendered_ + i - 1;
        break;
      }
    }
    rendered_ += samples.size();
  }
  void AddWord(MarkupSpan source, std::uint64_t sample) {
    std::lock_guard lock(mutex_);
    words_.push_back({source, sample});
  }

  // On the thread in Speak.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  struct Word {
    MarkupSpan source;
    std::uint64_t sample;  // in the text's audio
    std::uint64_t index;   // in the stream
  };
  // The next word, once its first sample is queued.
  std::optional<Word> NextWord() const {
    std::lock_guard lock(mutex_);
    if (words_.empty()) {
      return std::nullopt;
    }
    const auto index = IndexOf(words_.front().sample);
    if (!index) {
      return std::nullopt;
    }
    return Word{words_.front().source, words_.front().sample, *index};
  }
  void DropWord() {
    std::lock_guard lock(mutex_);
    words_.pop_front();
  }
  bool HasWords() const {
    std::lock_guard lock(mutex_);
    return !words_.empty();
  }
  // The stream index of the sample Speak waits for: the last audible one, or the last one of a
  // text that is all quiet; nothing for a text without samples.
  std::optional<std::uint64_t> EndIndex() const {
    std::lock_guard lock(mutex_);
    if (rendered_ == 0) {
      return std::nullopt;
    }
    return IndexOf(last_audible_.value_or(rendered_ - 1));
  }
  std::optional<std::uint64_t> FirstIndex() const {
    std::lock_guard lock(mutex_);
    return IndexOf(0);
  }

 private:
  // Where sample `sample` of the text went in the stream, once it has been queued.
  std::optional<std::uint64_t> IndexOf(std::uint64_t sample) const {
    if (sample >= rendered_ || chunks_.empty()) {
      return std::nullopt;
    }
    auto chunk = std::upper_bound(chunks_.begin(), chunks_.end(), sample,
                                  [](std::uint64_t s, const Chunk& c) { return s < c.first; });
    --chunk;
    return chunk->index + (sample - chunk->first);
  }

  struct Chunk {
    std::uint64_t first;  // its first sample, in the text's audio
    std::uint64_t index;  // and in the stream
  };
  struct PendingWord {
    MarkupSpan source;
    std::uint64_t sample;
  };
  PulseStream& stream_;
  mutable std::mutex mutex_;
  std::vector<Chunk> chunks_;
  std::uint64_t rendered_ = 0;
  std::optional<std::uint64_t> last_audible_;
  std::deque<PendingWord> words_;
  bool stopped_ = false;
};

}  // namespace

PulseSpeechVoice::PulseSpeechVoice(PulseVoiceSettings settings) : settings_(settings) {
  EspeakSynthesizer::Instance();
  try {
    Connect();
  } catch (const std::runtime_error&) {
    // No sound server yet: the first Speak tries again and reports it.
  }
}

PulseSpeechVoice::~PulseSpeechVoice() = default;

void PulseSpeechVoice::Connect() {
  if (stream_ != nullptr) {
    return;
  }
  PulseStreamSettings stream;
  stream.sample_rate = EspeakSynthesizer::Instance().SampleRate();
  stream.latency = settings_.latency;
  stream.answer_timeout = settings_.answer_timeout;
  stream.idle = settings_.idle;
  auto opened = std::make_unique<PulseStream>(stream);
  const std::lock_guard lock(stream_mutex_);
  opened->SetPaused(paused_.load());
  stream_ = std::move(opened);
}

void PulseSpeechVoice::SetPaused(bool paused) {
  const std::lock_guard lock(stream_mutex_);
  paused_.store(paused);
  if (stream_ != nullptr) {
    stream_->SetPaused(paused);
  }
}

void PulseSpeechVoice::DropStream() {
  std::unique_ptr<PulseStream> dropped;
  {
    const std::lock_guard lock(stream_mutex_);
    dropped = std::move(stream_);
  }
}

void PulseSpeechVoice::Speak(std::u16string_view text, unsigned flags) {
  const Clock::time_point started = Clock::now();
  first_sample_latency_ = std::chrono::nanoseconds::zero();
  const SpokenMarkup spoken = ReadSpokenText(text, flags);
  const std::vector<SpeechStep> steps = TranslateSpeechMarkup(spoken.markup, Speed());
  Connect();
  PulseStream& stream = *stream_;
  const double rate = stream.SampleRate();
  const bool want_words = HasWordListener();
  Playback playback(stream);
  EspeakSynthesizer& synthesizer = EspeakSynthesizer::Instance();
  std::future<void> synthesis = synthesizer.Start([&] {
    synthesizer.Render(
        steps, [&](std::span<const std::int16_t> samples) { playback.Queue(samples); },
        want_words ? WordSink([&](MarkupSpan source, std::uint64_t sample) {
          playback.AddWord(source, sample);
        })
                   : WordSink());
  });
  // When the sample of stream index `index` is (or was) played, seen from a reading.
  const auto moment = [rate](const PulseStream::Playing& playing, std::uint64_t index) {
    const double ahead = (static_cast<double>(index) - static_cast<double>(playing.index)) / rate;
    return playing.at +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(ahead));
  };
  try {
    bool synthesized = false;
    // The server must go on reading the stream while there is something to play.
    std::uint64_t last_read = 0;
    Clock::time_point moved = Clock::now();
    for (;;) {
      if (interrupted_.load()) {
        // Cut short: the synthesis stops, and closing the stream silences what the server holds.
        playback.Stop();
        if (synthesis.valid()) {
          synthesis.wait();
        }
        DropStream();
        interrupted_.store(false);
        return;
      }
      if (!synthesized &&
          synthesis.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        synthesized = true;
        synthesis.get();  // a failed synthesis ends here
      }
      const PulseStream::Playing playing = stream.Position();
      if (playing.read != last_read || paused_.load()) {
        last_read = playing.read;
        moved = playing.at;
      } else if (playing.at - moved > kStuckAfter) {
        throw std::runtime_error("No audio output: the sound server stopped playing");
      }
      if (first_sample_latency_ == std::chrono::nanoseconds::zero()) {
        if (const auto first = playback.FirstIndex(); first && playing.index > *first) {
          first_sample_latency_ = moment(playing, *first) - started;
        }
      }
      std::optional<Playback::Word> next;
      while ((next = playback.NextWord()) && next->index < playing.index) {
        HeardWord word = spoken.WordAt(next->source, next->sample);
        word.at = moment(playing, next->index);
        playback.DropWord();
        ReportWord(word);
      }
      const std::optional<std::uint64_t> end = playback.EndIndex();
      if (synthesized && !playback.HasWords() && (!end || playing.index > *end)) {
        break;
      }
      // Sleep until the next word or the end is due, and look again at least this often.
      Clock::time_point wake = Clock::now() + kLookInterval;
      if (next) {
        wake = std::min(wake, moment(playing, next->index));
      } else if (synthesized && end) {
        wake = std::min(wake, moment(playing, *end + 1));
      }
      std::this_thread::sleep_until(wake);
    }
  } catch (...) {
    // The synthesis may still be queueing: stop it, let it end, and drop the stream, so the next
    // Speak connects again.
    playback.Stop();
    if (synthesis.valid()) {
      synthesis.wait();
    }
    DropStream();
    interrupted_.store(false);
    throw;
  }
  interrupted_.store(false);  // one that came as the text ended ends no later text
}

}  // namespace quillon
