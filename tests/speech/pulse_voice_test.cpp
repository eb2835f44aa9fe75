// Real sound: the live voice against a private sound server, recorded from its sink's monitor.
// CTest runs it twice: on the PipeWire server, whose sink plays by the clock (everything here), and
// on the PulseAudio null sink (what needs no clock: every sample arrives, the server's loss and
// stall). This test stops, stalls and restarts the server it runs on.
#include "speech/pulse_voice.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "speech/file_voice.h"
#include "speech/pulse_stream.h"
#include "tests/speech/audio_analysis.h"
#include "tests/speech/monitor_recorder.h"
#include "text/encoding.h"

extern char** environ;

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;
using testing::MonitorRecorder;

int Rate() {
  return EspeakSynthesizer::Instance().SampleRate();
}

int Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) {
    argv.push_back(const_cast<char*>(a.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    return -1;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The sound server the test runs on.
struct Server {
  bool pipewire = false;
  std::string dir;

  int Script(const char* command) const {
    return Run({"sh",
                std::string(QUILLON_SOURCE_DIR "/tests/speech/") +
                    (pipewire ? "pipewire_server.sh" : "pulse_server.sh"),
                command, dir});
  }
  // The process that speaks the protocol.
  pid_t ProtocolPid() const {
    std::ifstream in(dir + (pipewire ? "/pipewire-pulse.pid" : "/runtime/pid"));
    pid_t pid = 0;
    in >> pid;
    return pid;
  }
};

class LiveVoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* dir = std::getenv("QUILLON_PIPEWIRE_DIR")) {
      server_ = {true, dir};
    } else if (const char* pulse = std::getenv("QUILLON_PULSE_DIR")) {
      server_ = {false, pulse};
    } else {
      GTEST_SKIP() << "run through ctest, which starts the sound server";
    }
  }

  // Whether the sink plays by the clock, as timing needs; the PulseAudio null sink does not.
  bool PlaysByTheClock() const { return server_.pipewire; }

  // Records the sink's monitor while speak() runs, until what was played by its end (and
  // `after` more) has arrived.
  std::vector<std::int16_t> Record(
      const std::function<void()>& speak,
      std::chrono::milliseconds after = std::chrono::milliseconds(300)) {
    MonitorRecorder recorder(testing::FixtureMonitor(), Rate());
    speak();
    EXPECT_TRUE(recorder.WaitUntilRecorded(Clock::now() + after, std::chrono::seconds(20)))
        << "the recording stopped";
    return recorder.Samples();
  }

  Server server_;
};

std::vector<std::int16_t> Rendered(const std::vector<std::string>& texts);

// espeak-ng carries a little from one text to the next, through changes of voice too: the same
// sentence comes out up to some 60 ms longer or shorter depending on the texts before it. Lengths
// compare when both follow the same texts: these, rendered twice first.
void After(const std::vector<std::string>& texts) {
  Rendered(texts);
  Rendered(texts);
}

std::vector<std::int16_t> Rendered(const std::vector<std::string>& texts) {
  std::vector<std::int16_t> samples;
  SinkSpeechVoice voice(
      [&](std::span<const std::int16_t> s) { samples.insert(samples.end(), s.begin(), s.end()); });
  for (const std::string& text : texts) {
    voice.Speak(Windows1252ToUtf16(text), kSpeakIsXml);
  }
  return samples;
}

// The loud samples of each stretch of sound, stretches apart by at least 200 ms of quiet.
std::vector<std::size_t> LoudPerStretch(const std::vector<std::int16_t>& samples) {
  std::vector<std::size_t> stretches;
  std::size_t quiet = 0;
  for (std::int16_t s : samples) {
    if (std::abs(static_cast<int>(s)) <= 300) {
      ++quiet;
      continue;
    }
    if (stretches.empty() || quiet >= static_cast<std::size_t>(Rate()) / 5) {
      stretches.push_back(0);
    }
    ++stretches.back();
    quiet = 0;
  }
  return stretches;
}

// The samples from the first loud one to the last, in milliseconds.
double AudibleMs(const std::vector<std::int16_t>& samples) {
  return testing::Milliseconds(testing::AudibleLength(samples));
}

// What reaches the sink also depends on the machine keeping up: a synthesis thread kept off the
// processor past the pause after a sentence lets the stream play quiet until it is fed again. The
// checks of heard lengths therefore get three tries; a fault fails all of them.
constexpr int kTries = 3;

const char* const kNumbers[] = {"one",     "two",       "three",    "four",     "five",
                                "six",     "seven",     "eight",    "nine",     "ten",
                                "eleven",  "twelve",    "thirteen", "fourteen", "fifteen",
                                "sixteen", "seventeen", "eighteen", "nineteen", "twenty"};

TEST_F(LiveVoiceTest, EverySentenceArrivesWhole) {
  std::vector<std::string> sentences;
  for (const char* number : kNumbers) {
    sentences.push_back(std::string("This is sentence number ") + number + ".");
  }
  const auto rsamples = Rendered(sentences);
  const std::vector<std::size_t> rendered = LoudPerStretch(rsamples);
  ASSERT_EQ(rendered.size(), sentences.size());
  PulseSpeechVoice voice;
  const auto hsamples = Record([&] {
    for (const std::string& sentence : sentences) {
      voice.Speak(Windows1252ToUtf16(sentence), kSpeakIsXml);
    }
  });
  const auto heard = LoudPerStretch(hsamples);
  std::printf("%zu sentences heard, %llu underruns\n", heard.size(),
              static_cast<unsigned long long>(voice.Underruns()));
  ASSERT_EQ(heard.size(), rendered.size()) << "sentences lost or broken up";
  for (std::size_t i = 0; i < heard.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(heard[i]), static_cast<double>(rendered[i]),
                0.05 * static_cast<double>(rendered[i]))
        << sentences[i];
  }
}

// Speak fails as it must when there is no sound to be had.
void ExpectNoAudio(PulseSpeechVoice& voice, std::u16string_view text) {
  try {
    voice.Speak(text, kSpeakIsXml);
    ADD_FAILURE() << "Speak succeeded";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), ::testing::StartsWith("No audio output: "));
  }
}

// The stream pauses after a while with nothing to play, and a text plays far longer than it takes
// to queue: the pause must wait for the text's end. Then the next text starts it again.
TEST_F(LiveVoiceTest, TextsLongerThanTheIdleTimeArePlayedToTheirEnd) {
  PulseVoiceSettings settings;
  settings.idle = std::chrono::milliseconds(200);
  PulseSpeechVoice voice(settings);
  const std::string long_text =
      "The road wound on past field and farm, and the travellers talked of the weather.";
  const double rendered = AudibleMs(Rendered({long_text}));
  ASSERT_GT(rendered, 3000.0);
  for (int text = 0; text < 2; ++text) {
    const double heard =
        AudibleMs(Record([&] { voice.Speak(Windows1252ToUtf16(long_text), kSpeakIsXml); }));
    EXPECT_NEAR(heard, rendered, 0.05 * rendered);
    std::this_thread::sleep_for(2 * settings.idle);  // paused by now
  }
}

std::uintmax_t FileSize(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// An underrun may delay the sound but loses none of it. The whole process is stopped for 400 ms
// (four times the server's buffer) during three seconds of a steady level, recorded by parec, which
// the stop leaves alone. Losing the underrun cost some 330 ms; 50 ms allows for the server's graph,
// which now and then plays a 5 ms period of silence when its processes run late.
TEST_F(LiveVoiceTest, AnUnderrunDelaysTheSoundAndLosesNone) {
  if (!PlaysByTheClock()) {
    GTEST_SKIP() << "the PulseAudio null sink plays by no clock";
  }
  const std::string recording = server_.dir + "/underrun.raw";
  std::filesystem::remove(recording);
  const std::string command =
      "exec parec -d '" + testing::FixtureMonitor() + "' --rate=" + std::to_string(Rate()) +
      " --channels=1 --format=s16le --latency-msec=20 > '" + recording + "'";
  const pid_t recorder = ::fork();
  ASSERT_GE(recorder, 0);
  if (recorder == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto wait_for_size = [&](std::uintmax_t size) {
    const Clock::time_point bound = Clock::now() + std::chrono::seconds(20);
    while (FileSize(recording) < size && Clock::now() < bound) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return FileSize(recording) >= size;
  };
  const std::uintmax_t bytes_per_second = static_cast<std::uintmax_t>(Rate()) * 2;
  EXPECT_TRUE(wait_for_size(bytes_per_second / 10)) << "parec records nothing";

  PulseStream stream(PulseStreamSettings{.sample_rate = Rate()});
  const std::vector<std::int16_t> level(static_cast<std::size_t>(Rate()) * 3, 8000);
  const std::uint64_t first = stream.Queue(level);
  const pid_t self = ::getpid();
  const pid_t stopper = ::fork();
  ASSERT_GE(stopper, 0);
  if (stopper == 0) {
    ::kill(self, SIGSTOP);
    ::usleep(400000);
    ::kill(self, SIGCONT);
    ::_exit(0);
  }
  ASSERT_EQ(::waitpid(stopper, nullptr, 0), stopper);
  const Clock::time_point bound = Clock::now() + std::chrono::seconds(20);
  while (stream.Position().index < first + level.size() && Clock::now() < bound) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // What the sink played by now, and half a second more, has reached the file.
  EXPECT_TRUE(wait_for_size(FileSize(recording) + bytes_per_second / 2));
  ::kill(recorder, SIGTERM);
  ::waitpid(recorder, nullptr, 0);

  EXPECT_GE(stream.Underruns(), 1u) << "the stop made no underrun";
  std::ifstream in(recording, std::ios::binary);
  std::vector<std::int16_t> heard(FileSize(recording) / 2);
  in.read(reinterpret_cast<char*>(heard.data()), static_cast<std::streamsize>(heard.size() * 2));
  const auto loud =
      std::count_if(heard.begin(), heard.end(), [](std::int16_t s) { return s > 4000; });
  EXPECT_NEAR(static_cast<double>(loud), static_cast<double>(level.size()), Rate() / 20.0);
}

TEST_F(LiveVoiceTest, ServerLossIsReportedAndTheNextSpeakConnectsAgain) {
  PulseSpeechVoice voice;
  const std::u16string text = u"The road was long.";
  voice.Speak(text, kSpeakIsXml);
  ASSERT_EQ(server_.Script("stop"), 0);
  for (int attempt = 0; attempt < 2; ++attempt) {
    ExpectNoAudio(voice, text);
    EXPECT_FALSE(voice.IsConnected());
  }
  ASSERT_EQ(server_.Script("start"), 0);
  const double rendered = AudibleMs(Rendered({"The road was long."}));
  const double heard = AudibleMs(Record([&] { voice.Speak(text, kSpeakIsXml); }));
  EXPECT_NEAR(heard, rendered, 60.0);
}

TEST_F(LiveVoiceTest, StalledServerIsAnErrorNotAWait) {
  PulseVoiceSettings settings;
  settings.answer_timeout = std::chrono::milliseconds(1000);
  PulseSpeechVoice voice(settings);
  const std::u16string text = u"The road was long.";
  voice.Speak(text, kSpeakIsXml);
  const pid_t server = server_.ProtocolPid();
  ASSERT_GT(server, 0);
  ASSERT_EQ(kill(server, SIGSTOP), 0);
  // Connected and then while connecting: both end in the error.
  for (int attempt = 0; attempt < 2; ++attempt) {
    ExpectNoAudio(voice, text);
  }
  ASSERT_EQ(kill(server, SIGCONT), 0);
  voice.Speak(text, kSpeakIsXml);
  EXPECT_TRUE(voice.IsConnected());
}

TEST_F(LiveVoiceTest, PauseBetweenSentencesIsEspeakNgsOwn) {
  if (!PlaysByTheClock()) {
    GTEST_SKIP() << "the PulseAudio null sink plays by no clock";
  }
  const std::vector<std::string> sentences = {"The road was long.", "Mary did not mind it.",
                                              "They walked on."};
  After(sentences);
  const std::vector<double> own = testing::QuietGaps(Rendered(sentences), Rate(), 150);
  ASSERT_EQ(own.size(), 2u);
  PulseSpeechVoice voice;
  for (int attempt = 1;; ++attempt) {
    After(sentences);
    const std::vector<double> heard =
        testing::QuietGaps(Record([&] {
                             for (const auto& s : sentences) {
                               voice.Speak(Windows1252ToUtf16(s), kSpeakIsXml);
                             }
                           }),
                           Rate(), 150);
    ASSERT_EQ(heard.size(), own.size());
    const double added = std::max(heard[0] - own[0], heard[1] - own[1]);
    std::printf("pauses %.1f and %.1f ms, espeak-ng's own %.1f and %.1f ms\n", heard[0], heard[1],
                own[0], own[1]);
    if (std::abs(added) < 20.0 || attempt == kTries) {
      EXPECT_LT(std::abs(added), 20.0);
      break;
    }
  }
}

// A silence of the markup in every place it can stand; the live voice adds exactly its length.
struct SilenceCase {
  const char* with;
};
class LiveSilenceTest : public LiveVoiceTest, public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(LiveSilenceTest, AddsExactlyItsLength) {
  if (!PlaysByTheClock()) {
    GTEST_SKIP() << "the PulseAudio null sink plays by no clock";
  }
  const std::string with = GetParam().with;
  std::string without = with;
  for (std::size_t at; (at = without.find("<silence msec=\"500\"/>")) != std::string::npos;) {
    without.erase(at, 21);
  }
  const int silences = static_cast<int>((with.size() - without.size()) / 21);
  // Between two short sentences, so that silences at the ends count too.
  After({"Go.", without, "Go."});
  const double own = AudibleMs(Rendered({"Go.", without, "Go."}));
  PulseSpeechVoice voice;
  for (int attempt = 1;; ++attempt) {
    After({"Go.", without, "Go."});
    const auto rec = Record([&] {
      for (const std::string& text : {std::string("Go."), with, std::string("Go.")}) {
        voice.Speak(Windows1252ToUtf16(text), kSpeakIsXml);
      }
    });
    const double heard = AudibleMs(rec);

    const double added = heard - own;

    if (std::abs(added - 500.0 * silences) <= 20.0 || attempt == kTries) {
      EXPECT_NEAR(added, 500.0 * silences, 20.0) << with;
      break;
    }
  }
}

#define SILENCE "<silence msec=\"500\"/>"
INSTANTIATE_TEST_SUITE_P(
    EveryPlace, LiveSilenceTest,
    ::testing::Values(SilenceCase{"One. " SILENCE "Two."}, SilenceCase{"One! " SILENCE "Two."},
                      SilenceCase{"One? " SILENCE "Two."}, SilenceCase{"One; " SILENCE "Two."},
                      SilenceCase{"One: " SILENCE "Two."}, SilenceCase{"One, " SILENCE "two."},
                      SilenceCase{"One\x85 " SILENCE "two."},
                      SilenceCase{"\"One.\" " SILENCE "Two."}, SilenceCase{SILENCE "One. Two."},
                      SilenceCase{"One. Two." SILENCE}, SilenceCase{"One. " SILENCE SILENCE "Two."},
                      SilenceCase{"It was nine AM " SILENCE ". Then"}));
#undef SILENCE

TEST_F(LiveVoiceTest, WordsAreReportedWhenTheyAreHeard) {
  if (!PlaysByTheClock()) {
    GTEST_SKIP() << "the PulseAudio null sink plays by no clock";
  }
  const std::string sentence =
      R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="+2">Tom &amp; <emph>Mary</emph> )"
      R"(<VOICE REQUIRED="Name=Microsoft Sam">walked</VOICE> home. <silence msec="500"/>)"
      R"(Then they rested.</VOICE>)";
  const std::u16string text = Windows1252ToUtf16(sentence);
  PulseSpeechVoice voice;
  std::vector<HeardWord> words;
  voice.SetWordListener([&](const HeardWord& word) {
    EXPECT_LE(word.at, Clock::now() + std::chrono::milliseconds(5)) << "reported before heard";
    words.push_back(word);
  });
  MonitorRecorder recorder(testing::FixtureMonitor(), Rate());
  After({sentence});
  voice.Speak(text, kSpeakIsXml);
  ASSERT_TRUE(recorder.WaitUntilRecorded(Clock::now() + std::chrono::milliseconds(100),
                                         std::chrono::seconds(20)));
  std::vector<std::string> spoken;
  for (const HeardWord& word : words) {
    spoken.push_back(Utf16ToUtf8(std::u16string_view(text).substr(word.start, word.length)));
  }
  EXPECT_THAT(spoken, ::testing::ElementsAre("Tom", "&amp;", "Mary", "walked", "home", "Then",
                                             "they", "rested"));
  for (std::size_t i = 1; i < words.size(); ++i) {
    EXPECT_GT(words[i].at, words[i - 1].at);
    EXPECT_GT(words[i].sample, words[i - 1].sample);
  }
  // Each word when the sink played it: the text's audio starts where the recording's first loud
  // sample lies less the quiet that opens the rendered text.
  After({sentence});
  const std::vector<std::int16_t> rendered = Rendered({sentence});
  const std::vector<std::int16_t> heard = recorder.Samples();
  const auto loud = [](std::int16_t s) { return std::abs(static_cast<int>(s)) > 300; };
  const auto opening = std::find_if(rendered.begin(), rendered.end(), loud) - rendered.begin();
  const auto first = std::find_if(heard.begin(), heard.end(), loud) - heard.begin();
  const auto last = heard.rend() - std::find_if(heard.rbegin(), heard.rend(), loud) - 1;
  ASSERT_GT(first, opening);
  ASSERT_FALSE(words.empty());
  for (const HeardWord& word : words) {
    const auto played = recorder.TimeOf(static_cast<std::size_t>(first - opening) + word.sample);
    const double off_ms = std::chrono::duration<double, std::milli>(word.at - played).count();
    std::printf("%-8s reported %+6.1f ms from when the sink played it\n",
                Utf16ToUtf8(std::u16string_view(text).substr(word.start, word.length)).c_str(),
                off_ms);
    EXPECT_LT(std::abs(off_ms), 60.0);
  }
  EXPECT_LT(words.back().at, recorder.TimeOf(static_cast<std::size_t>(last)));
}

// Pause silences the sound within 50 ms, reports no word meanwhile and goes on from the next
// sample; Interrupt silences it at once and Speak returns.
TEST_F(LiveVoiceTest, PauseHoldsTheSoundAndInterruptEndsIt) {
  if (!PlaysByTheClock()) {
    GTEST_SKIP() << "the PulseAudio null sink plays by no clock";
  }
  const std::string sentence =
      "The caravan rolled slowly along the dusty road towards the distant town, and nobody "
      "on board said a single word for a very long time.";
  const auto loud = [](std::int16_t s) { return std::abs(static_cast<int>(s)) > 300; };
  PulseSpeechVoice voice;
  std::mutex mutex;
  std::condition_variable heard;
  std::size_t words = 0;  // reported so far
  voice.SetWordListener([&](const HeardWord&) {
    const std::lock_guard lock(mutex);
    ++words;
    heard.notify_all();
  });
  const auto words_after = [&](std::size_t n) {
    std::unique_lock lock(mutex);
    heard.wait_for(lock, std::chrono::seconds(20), [&] { return words >= n; });
    return words;
  };
  for (const bool interrupt : {false, true}) {
    SCOPED_TRACE(interrupt ? "interrupt" : "pause");
    words = 0;
    MonitorRecorder recorder(testing::FixtureMonitor(), Rate());
    After({sentence});
    std::thread speaking([&] { voice.Speak(Windows1252ToUtf16(sentence), kSpeakIsXml); });
    ASSERT_GE(words_after(4), 4u);
    const Clock::time_point held = Clock::now();
    if (interrupt) {
      voice.Interrupt();
      speaking.join();
    } else {
      // The pause the user makes, 800 ms; no word is reported in it after the first 60 ms.
      voice.SetPaused(true);
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      const std::size_t held_words = words_after(0);
      std::this_thread::sleep_for(std::chrono::milliseconds(740));
      EXPECT_EQ(words_after(0), held_words) << "a word was reported while paused";
    }
    const Clock::time_point released = Clock::now();
    if (!interrupt) {
      voice.SetPaused(false);
      speaking.join();
    }
    ASSERT_TRUE(recorder.WaitUntilRecorded(Clock::now() + std::chrono::milliseconds(300),
                                           std::chrono::seconds(20)));
    const std::vector<std::int16_t> samples = recorder.Samples();
    // The last loud sample played between the hold and its release (or the end).
    std::int64_t last = -1;
    for (std::int64_t i = std::max<std::int64_t>(recorder.IndexAt(held), 0);
         i < recorder.IndexAt(released) && i < static_cast<std::int64_t>(samples.size()); ++i) {
      if (loud(samples[static_cast<std::size_t>(i)])) {
        last = i;
      }
    }
    const double silent_after =
        last < 0 ? 0.0 : Ms(recorder.TimeOf(static_cast<std::size_t>(last)) - held);
    std::printf("%s: silent %.1f ms after the request\n", interrupt ? "interrupt" : "pause",
                silent_after);
    EXPECT_LT(silent_after, interrupt ? 100.0 : 50.0);
    if (interrupt) {
      // Nothing more of the text, and the next one is spoken whole.
      const auto after = std::find_if(
          samples.begin() + recorder.IndexAt(released) + static_cast<std::ptrdiff_t>(Rate() / 10),
          samples.end(), loud);
      EXPECT_EQ(after, samples.end());
      break;
    }
    // Resumed from the next sample: the sound less the pause is as long as the text's own.
    const double heard_ms = AudibleMs(samples);
    After({sentence});
    const double own_ms = AudibleMs(Rendered({sentence}));
    const double pause_ms = Ms(released - held);
    std::printf("pause: heard %.1f ms, paused %.1f ms, the text's own %.1f ms\n", heard_ms,
                pause_ms, own_ms);
    EXPECT_NEAR(heard_ms - pause_ms, own_ms, 80.0);
  }
  // After an Interrupt the next text connects again and is heard whole.
  const std::vector<std::int16_t> next =
      Record([&] { voice.Speak(u"Good morning.", kSpeakIsXml); });
  After({"Good morning."});
  EXPECT_NEAR(AudibleMs(next), AudibleMs(Rendered({"Good morning."})), 60.0);
}

}  // namespace
}  // namespace quillon
