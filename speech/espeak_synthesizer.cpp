#include "speech/espeak_synthesizer.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace quillon {
namespace {

// The synthesis in progress, touched only on the synthesis thread (Render and espeak-ng's
// callback): where its samples go, what went wrong, the silences its marks stand for, and how
// many samples espeak-ng has produced so far (mark events give their place in those).
struct Synthesis {
  const SampleSink* sink = nullptr;
  const std::vector<int>* silences_ms = nullptr;
  int sample_rate = 0;
  std::uint64_t produced = 0;
  std::exception_ptr error;
};
Synthesis g_synthesis;

void WriteZeros(const SampleSink& sink, std::size_t count) {
  static constexpr std::array<std::int16_t, 1024> kZeros{};
  while (count > 0) {
    const std::size_t n = std::min(count, kZeros.size());
    sink(std::span<const std::int16_t>(kZeros.data(), n));
    count -= n;
  }
}

std::size_t SamplesOf(int ms, int rate) {
  return static_cast<std::size_t>(ms) * static_cast<std::size_t>(rate) / 1000;
}

int SynthCallback(short* wav, int count, espeak_EVENT* events) {
  Synthesis& s = g_synthesis;
  if (s.sink == nullptr || s.error) {
    return 1;
  }
  try {
    const std::size_t n = (wav == nullptr || count < 0) ? 0 : static_cast<std::size_t>(count);
    std::size_t done = 0;  // samples of this buffer handed on
    for (const espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED;
         ++e) {
      if (e->type != espeakEVENT_MARK || e->id.name == nullptr || s.silences_ms == nullptr) {
        continue;
      }
      const unsigned long index = std::strtoul(e->id.name, nullptr, 10);
      if (index >= s.silences_ms->size()) {
        continue;
      }
      // The mark's place in this buffer: the samples before it go first, then the silence.
      const std::uint64_t at = static_cast<std::uint64_t>(std::max(e->sample, 0));
      const std::size_t offset =
          at <= s.produced ? 0
                           : static_cast<std::size_t>(std::min<std::uint64_t>(at - s.produced, n));
      if (offset > done) {
        (*s.sink)(std::span<const std::int16_t>(wav + done, offset - done));
        done = offset;
      }
      WriteZeros(*s.sink, SamplesOf((*s.silences_ms)[index], s.sample_rate));
    }
    if (n > done) {
      (*s.sink)(std::span<const std::int16_t>(wav + done, n - done));
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
  std::deque<Job*> jobs;
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
      Job* job;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (jobs.empty()) {
          return;
        }
        job = jobs.front();
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
    Job job{work, {}};
    std::future<void> done = job.done.get_future();
    {
      std::lock_guard lock(mutex);
      jobs.push_back(&job);
    }
    wake.notify_one();
    done.get();
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

void EspeakSynthesizer::Render(const std::vector<SpeechStep>& steps, const SampleSink& sink) {
  worker_->Run([&] {
    std::size_t last_utterance = steps.size();
    for (std::size_t i = 0; i < steps.size(); ++i) {
      if (!steps[i].is_silence) {
        last_utterance = i;
      }
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const SpeechStep& step = steps[i];
      if (step.is_silence) {
        WriteZeros(sink, SilenceSamples(step.silence_ms));
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
      g_synthesis = Synthesis{&sink, &u.silences_ms, sample_rate_, 0, nullptr};
      const espeak_ERROR result = espeak_Synth(u.ssml.c_str(), u.ssml.size() + 1, 0, POS_CHARACTER,
                                               0, flags, nullptr, nullptr);
      const std::exception_ptr error = g_synthesis.error;
      g_synthesis = Synthesis{};
      if (error) {
        std::rethrow_exception(error);
      }
      if (result != EE_OK) {
        throw std::runtime_error("Speech synthesis failed: espeak-ng error " +
                                 std::to_string(static_cast<int>(result)));
      }
    }
  });
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
