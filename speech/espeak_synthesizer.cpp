#include "speech/espeak_synthesizer.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

// espeak-ng 1.51 opens a sound device through pcaudiolib whenever it is initialised, even for
// synchronous synthesis that never plays: it connects to the sound server (and blocks while that
// server does not answer). This program plays its samples itself, so the device it would get is
// none; espeak-ng then leaves sound alone.
extern "C" struct audio_object* create_audio_device_object(const char*, const char*, const char*) {
  return nullptr;
}

namespace quillon {
namespace {

// The synthesis in progress, touched only on the synthesis thread (Render and espeak-ng's
// callback): where its samples and words go, what went wrong, the utterance (its silences and its
// map back to the markup), how many samples espeak-ng has produced so far (its events give their
// place in those) and how many this Render has handed on before (words count from there).
struct Synthesis {
  const SampleSink* sink = nullptr;
  const WordSink* words = nullptr;
  const EspeakUtterance* utterance = nullptr;
  int sample_rate = 0;
  std::uint64_t produced = 0;
  std::uint64_t handed_on = 0;          // samples of the Render handed to the sink, zeros included
  std::vector<bool> marks_done;         // silences of the utterance already written
  std::optional<MarkupSpan> last_word;  // the last word given, in this Render
  std::exception_ptr error;
};
Synthesis g_synthesis;

std::size_t SamplesOf(int ms, int rate) {
  return static_cast<std::size_t>(ms) * static_cast<std::size_t>(rate) / 1000;
}

void Hand(Synthesis& s, std::span<const std::int16_t> samples) {
  if (!samples.empty()) {
    (*s.sink)(samples);
    s.handed_on += samples.size();
  }
}

void WriteZeros(Synthesis& s, std::size_t count) {
  static constexpr std::array<std::int16_t, 1024> kZeros{};
  while (count > 0) {
    const std::size_t n = std::min(count, kZeros.size());
    Hand(s, std::span<const std::int16_t>(kZeros.data(), n));
    count -= n;
  }
}

// Writes the silences of marks up to and including `index` not written yet, in order: a mark
// espeak-ng did not report still gets its silence, at the next one reported or at the end.
void WriteSilencesThrough(Synthesis& s, std::size_t index) {
  const std::vector<int>& silences = s.utterance->silences_ms;
  for (std::size_t k = 0; k <= index && k < silences.size(); ++k) {
    if (!s.marks_done[k]) {
      s.marks_done[k] = true;
      WriteZeros(s, SamplesOf(silences[k], s.sample_rate));
    }
  }
}

void GiveWord(Synthesis& s, const espeak_EVENT& e, std::uint64_t sample) {
  if (s.words == nullptr || !*s.words) {
    return;
  }
  const std::optional<MarkupSpan> source = WordSource(*s.utterance, e.text_position, e.length);
  if (!source) {
    return;
  }
  if (s.last_word && source->begin < s.last_word->end && s.last_word->begin < source->end) {
    return;  // more words spelt out of the same text
  }
  s.last_word = source;
  (*s.words)(*source, sample);
}

int SynthCallback(short* wav, int count, espeak_EVENT* events) {
  Synthesis& s = g_synthesis;
  if (s.sink == nullptr || s.error) {
    return 1;
  }
  try {
    const std::size_t n = (wav == nullptr || count < 0) ? 0 : static_cast<std::size_t>(count);
    std::size_t done = 0;  // samples of this buffer handed on
    // An event's place in this buffer: the samples before it go first.
    const auto hand_through = [&](const espeak_EVENT& e) {
      const std::uint64_t at = static_cast<std::uint64_t>(std::max(e.sample, 0));
      const std::size_t offset =
          at <= s.produced ? 0
                           : static_cast<std::size_t>(std::min<std::uint64_t>(at - s.produced, n));
      if (offset > done) {
        Hand(s, std::span<const std::int16_t>(wav + done, offset - done));
        done = offset;
      }
    };
    for (const espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED;
         ++e) {
      if (e->type == espeakEVENT_MARK && e->id.name != nullptr) {
        const unsigned long index = std::strtoul(e->id.name, nullptr, 10);
        if (index < s.utterance->silences_ms.size()) {
          hand_through(*e);
          WriteSilencesThrough(s, index);
        }
      } else if (e->type == espeakEVENT_WORD && e->length > 0) {
        hand_through(*e);
        GiveWord(s, *e, s.handed_on);
      }
    }
    if (n > done) {
      Hand(s, std::span<const std::int16_t>(wav + done, n - done));
    }
    s.produced += n;
  } catch (...) {
    s.error = std::current_exception();
    return 1;  // abort the synthesis
  }
  return 0;
}

// Length of espeak-ng's sample buffers: small, so the first samples leave early.
constexpr int kBufferMs = 20;

}  // namespace

struct EspeakSynthesizer::Worker {
  struct Job {
    std::function<void()> work;
    std::promise<void> done;
  };

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::unique_ptr<Job>> jobs;
  bool stopping = false;
  std::thread thread;

  Worker() : thread([this] { Loop(); }) {}
  ~Worker() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    wake.notify_one();
    thread.join();
  }

  void Loop() {
    for (;;) {
      std::unique_ptr<Job> job;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (jobs.empty()) {
          return;
        }
        job = std::move(jobs.front());
        jobs.pop_front();
      }
      try {
        job->work();
        job->done.set_value();
      } catch (...) {
        job->done.set_exception(std::current_exception());
      }
    }
  }

  void Run(const std::function<void()>& work) {
    if (std::this_thread::get_id() == thread.get_id()) {
      work();  // already on the synthesis thread (a sink that speaks would deadlock otherwise)
      return;
    }
    Start(work).get();
  }

  std::future<void> Start(std::function<void()> work) {
    auto job = std::make_unique<Job>(Job{std::move(work), {}});
    std::future<void> done = job->done.get_future();
    {
      std::lock_guard lock(mutex);
      jobs.push_back(std::move(job));
    }
    wake.notify_one();
    return done;
  }
};

EspeakSynthesizer& EspeakSynthesizer::Instance() {
  // A constructor that throws leaves the instance unmade; the next call tries again.
  static EspeakSynthesizer instance;
  return instance;
}

EspeakSynthesizer::EspeakSynthesizer() : worker_(new Worker) {
  try {
    worker_->Run([this] {
      const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kBufferMs, nullptr,
                                         espeakINITIALIZE_DONT_EXIT);
      if (rate <= 0) {
        throw std::runtime_error(
            "Cannot start the speech engine: espeak-ng could not be initialised (is the "
            "espeak-ng-data package installed?)");
      }
      espeak_SetSynthCallback(SynthCallback);
      if (espeak_SetVoiceByName(std::string(EspeakVoiceName(SpeakingState{})).c_str()) != EE_OK) {
        espeak_Terminate();
        throw std::runtime_error("Cannot start the speech engine: espeak-ng has no English voice");
      }
      sample_rate_ = rate;
    });
  } catch (...) {
    delete worker_;
    throw;
  }
}

EspeakSynthesizer::~EspeakSynthesizer() {
  try {
    worker_->Run([] { espeak_Terminate(); });
  } catch (...) {
  }
  delete worker_;
}

void EspeakSynthesizer::Run(const std::function<void()>& job) {
  worker_->Run(job);
}

void EspeakSynthesizer::Render(std::string_view markup, const SampleSink& sink) {
  Render(TranslateSpeechMarkup(markup), sink);
}

void EspeakSynthesizer::Render(const std::vector<SpeechStep>& steps, const SampleSink& sink,
                               const WordSink& words) {
  worker_->Run([&] {
    std::size_t last_utterance = steps.size();
    for (std::size_t i = 0; i < steps.size(); ++i) {
      if (!steps[i].is_silence) {
        last_utterance = i;
      }
    }
    Synthesis render{&sink, &words, nullptr, sample_rate_, 0, 0, {}, std::nullopt, nullptr};
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const SpeechStep& step = steps[i];
      if (step.is_silence) {
        WriteZeros(render, SilenceSamples(step.silence_ms));
        continue;
      }
      const EspeakUtterance& u = step.utterance;
      if (espeak_SetVoiceByName(u.voice_name.c_str()) != EE_OK) {
        throw std::runtime_error("Speech synthesis failed: espeak-ng has no voice \"" +
                                 u.voice_name + "\"");
      }
      // The SSML spells out every value; these only undo what a previous call may have left.
      espeak_SetParameter(espeakRATE, kEspeakBaseRate, 0);
      espeak_SetParameter(espeakVOLUME, 100, 0);
      espeak_SetParameter(espeakPITCH, 50, 0);
      espeak_SetParameter(espeakRANGE, 50, 0);
      espeak_SetParameter(espeakPUNCTUATION, espeakPUNCT_NONE, 0);
      unsigned flags = espeakCHARS_UTF8 | espeakSSML;
      if (u.uses_phonemes) {
        flags |= espeakPHONEMES;
      }
      if (i == last_utterance) {
        flags |= espeakENDPAUSE;  // the pause that ends a sentence
      }
      render.utterance = &u;
      render.produced = 0;
      render.marks_done.assign(u.silences_ms.size(), false);
      render.error = nullptr;
      g_synthesis = render;
      const espeak_ERROR result = espeak_Synth(u.ssml.c_str(), u.ssml.size() + 1, 0, POS_CHARACTER,
                                               0, flags, nullptr, nullptr);
      render = g_synthesis;
      g_synthesis = Synthesis{};
      if (render.error) {
        std::rethrow_exception(render.error);
      }
      if (result != EE_OK) {
        throw std::runtime_error("Speech synthesis failed: espeak-ng error " +
                                 std::to_string(static_cast<int>(result)));
      }
      WriteSilencesThrough(render, u.silences_ms.size());
    }
  });
}

std::future<void> EspeakSynthesizer::Start(std::function<void()> job) {
  return worker_->Start(std::move(job));
}

std::vector<std::string> EspeakSynthesizer::ListVariants() {
  std::vector<std::string> names;
  worker_->Run([&] {
    espeak_VOICE filter{};
    filter.languages = "variant";
    for (const espeak_VOICE** v = espeak_ListVoices(&filter); v != nullptr && *v != nullptr; ++v) {
      if ((*v)->identifier == nullptr) {
        continue;
      }
      // Identifiers look like "!v/m3".
      std::string id = (*v)->identifier;
      const std::size_t slash = id.find_last_of('/');
      names.push_back(slash == std::string::npos ? id : id.substr(slash + 1));
    }
  });
  return names;
}

}  // namespace quillon
