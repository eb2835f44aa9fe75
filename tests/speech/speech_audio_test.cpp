// Speech rendered to samples by espeak-ng: lengths, pitch, loudness, voices and audio files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "speech/espeak_input.h"
#include "speech/file_voice.h"
#include "tests/speech/audio_analysis.h"
#include "text/encoding.h"
#include "voices/voice_profiles.h"

namespace quillon {
namespace {

using testing::AudibleLength;
using testing::MedianF0;
using testing::Milliseconds;
using testing::RenderSamples;
using testing::Rms;

// Just past the last sample louder than a whisper.
std::size_t AudibleEnd(const std::vector<std::int16_t>& samples) {
  std::size_t end = samples.size();
  while (end > 0 && std::abs(static_cast<int>(samples[end - 1])) <= 300) {
    --end;
  }
  return end;
}

int Rate() {
  return EspeakSynthesizer::Instance().SampleRate();
}

std::string InProfile(int voice, const std::string& sentence) {
  return std::string(GetVoiceProfileTag(voice)) + sentence + "</VOICE>";
}

const std::string kSentence = "I never thought we would find the old road again so soon, did you?";

// espeak-ng's output wanders by a few milliseconds from call to call; the median of three
// measurements keeps that out of the comparison.
double MedianAddedMs(const std::string& without, const std::string& with) {
  std::vector<double> added;
  for (int i = 0; i < 3; ++i) {
    added.push_back(Milliseconds(RenderSamples(with).size()) -
                    Milliseconds(RenderSamples(without).size()));
  }
  std::sort(added.begin(), added.end());
  return added[1];
}

TEST(SpeechAudio, SilenceAddsItsLengthAtEveryRate) {
  const std::pair<std::string, std::string> sentences[] = {
      {"He stopped, and then he went on walking.",
       "He stopped, <silence msec=\"500\"/>and then he went on walking."},
      {"He stopped and then he went on walking.",
       "He stopped <silence msec=\"500\"/>and then he went on walking."},
      {"It was six AM.", "It was six AM <silence msec=\"500\"/>."},
  };
  for (const char* rate : {"-5", "+0", "+5"}) {
    const std::string open = std::string("<RATE SPEED=\"") + rate + "\">";
    for (const auto& [without, with] : sentences) {
      EXPECT_NEAR(MedianAddedMs(open + without, open + with), 500.0, 20.0)
          << "rate " << rate << ": " << with;
    }
  }
}

// espeak-ng carries a little from one text to the next, through changes of voice too: the same
// sentence comes out up to some 60 ms longer or shorter depending on the texts before it. Two
// renderings compare when both follow the same texts: these, rendered twice first.
std::vector<std::int16_t> RenderAfter(const std::string& before, const std::string& markup) {
  RenderSamples(before);
  RenderSamples(before);
  return RenderSamples(markup);
}

std::string WithoutSilences(std::string text, int* count) {
  const std::string silence = R"(<silence msec="500"/>)";
  *count = 0;
  for (std::size_t at; (at = text.find(silence)) != std::string::npos; ++*count) {
    text.erase(at, silence.size());
  }
  return text;
}

// A silence in every place it can stand adds exactly its length.
TEST(SpeechAudio, SilenceAddsItsLengthWhereverItStands) {
#define SILENCE R"(<silence msec="500"/>)"
  // clang-format off
  const char* const cases[] = {
      "One. " SILENCE "Two.",         "One! " SILENCE "Two.",         "One? " SILENCE "Two.",
      "One; " SILENCE "Two.",         "One: " SILENCE "Two.",         "One, " SILENCE "two.",
      "One\x85 " SILENCE "two.",      "\"One.\" " SILENCE "Two.",     "\"One,\" " SILENCE "two.",
      SILENCE "One. Two.",            "One. Two." SILENCE,            "One. " SILENCE SILENCE "Two.",
      "One " SILENCE SILENCE "two.",  "One -- " SILENCE "two.",       "It was nine AM " SILENCE ". Then",
      "One.) " SILENCE "Two.",        "He left at 3. " SILENCE "Then.",
      "<VOICE REQUIRED=\"Gender=Male\">He left. " SILENCE "<VOLUME LEVEL=\"70\">Then</VOLUME> he came.",
      "on <partofsp part=\"noun\">record</partofsp>. " SILENCE "Then.",
  };
  // clang-format on
#undef SILENCE
  for (const char* with : cases) {
    int silences = 0;
    const std::string without = WithoutSilences(with, &silences);
    const double added = Milliseconds(RenderAfter(without, with).size()) -
                         Milliseconds(RenderAfter(without, without).size());
    EXPECT_NEAR(added, 500.0 * silences, 20.0) << with;
  }
}

// A mark that espeak-ng does not report (here one written right after a full stop, where the
// translator never puts one) still gets its silence: at the end of the utterance, not lost.
TEST(SpeechAudio, UnreportedMarkKeepsItsSilence) {
  const auto utterance = [](const std::string& ssml, std::vector<int> silences) {
    SpeechStep step;
    step.utterance.voice_name = "en-us+m3";
    step.utterance.ssml = ssml;
    step.utterance.silences_ms = std::move(silences);
    return std::vector<SpeechStep>{step};
  };
  const auto length = [](const std::vector<SpeechStep>& steps) {
    RenderAfter("One. Two.", "One. Two.");
    std::size_t n = 0;
    EspeakSynthesizer::Instance().Render(steps,
                                         [&](std::span<const std::int16_t> s) { n += s.size(); });
    return Milliseconds(n);
  };
  const double plain = length(utterance("<speak>One. Two.</speak>", {}));
  const double marked =
      length(utterance(R"(<speak>One. <mark name="0"/>Two.<mark name="1"/></speak>)", {500, 300}));
  EXPECT_NEAR(marked - plain, 800.0, 20.0);
}

TEST(SpeechAudio, PunctuationAfterMarkupIsNotReadOut) {
  // espeak-ng reads a "." after a tag, after phonemes, or after a quotation mark at the end, as
  // "dot".
  const std::pair<std::string, std::string> sentences[] = {
      {"He said no.", "He said <emph>no</emph>."},
      {"I am perfect.", R"(I am <partofsp part="noun">perfect</partofsp>.)"},
      {"Put it on record.", R"(Put it on <partofsp part="noun">record</partofsp>)"},
      {R"(He said "no")", R"(He said "no".)"},
      {"He wrote it (in ink)", "He wrote it (in ink)."},
  };
  for (const auto& [plain, marked] : sentences) {
    EXPECT_NEAR(Milliseconds(AudibleLength(RenderSamples(marked))),
                Milliseconds(AudibleLength(RenderSamples(plain))), 150.0)
        << marked;
  }
}

TEST(SpeechAudio, SilenceIsExactZeroSamples) {
  const auto samples = RenderSamples(R"(<silence msec="500"/>Hello.)");
  const std::size_t silence = static_cast<std::size_t>(Rate()) / 2;
  ASSERT_GT(samples.size(), silence);
  EXPECT_TRUE(
      std::all_of(samples.begin(), samples.begin() + silence, [](auto s) { return s == 0; }));
  EXPECT_EQ(RenderSamples(R"(<silence msec="250"/>)").size(), silence / 2);
}

TEST(SpeechAudio, FasterRateIsShorter) {
  const auto fast = RenderSamples(R"(<RATE SPEED="+5">)" + kSentence);
  const auto slow = RenderSamples(R"(<RATE SPEED="-5">)" + kSentence);
  EXPECT_LT(AudibleLength(fast) * 2, AudibleLength(slow));  // three times as fast in theory
}

TEST(SpeechAudio, FemaleVoiceIsHigherThanMale) {
  // Profiles 8 and 10: the same rate and pitch steps, male and female.
  const double male = MedianF0(RenderSamples(InProfile(8, kSentence)), Rate());
  const double female = MedianF0(RenderSamples(InProfile(10, kSentence)), Rate());
  EXPECT_GT(male, 60.0);
  EXPECT_GT(female, male * 1.4);
}

TEST(SpeechAudio, PitchStepsMoveTheVoice) {
  const auto f0 = [](const char* middle) {
    return MedianF0(RenderSamples(std::string("<PITCH MIDDLE=\"") + middle + "\">" + kSentence),
                    Rate());
  };
  const double low = f0("-22"), normal = f0("+0"), high = f0("+18");
  EXPECT_LT(low, normal * 0.8);
  EXPECT_GT(high, normal * 1.3);
}

TEST(SpeechAudio, AllProfilesDifferInLengthOrPitch) {
  struct Measure {
    double ms;
    double f0;
  };
  std::vector<Measure> m;
  // Two sentences: the slow pitch flutter of some voices, which carries on from one call to the
  // next, averages out over them.
  const std::string text = kSentence + " Mary said nothing, and looked out at the long grey river.";
  for (int voice = 0; voice <= 36; ++voice) {
    const auto samples = RenderSamples(InProfile(voice, text));
    m.push_back({Milliseconds(AudibleLength(samples)), MedianF0(samples, Rate())});
    ASSERT_GT(m.back().f0, 0) << "profile " << voice;
  }
  const auto apart = [](double a, double b) { return std::abs(a - b) / std::max(a, b); };
  constexpr double kApart = 0.015;
  double closest = 2;
  int closest_a = 0, closest_b = 0;
  for (int a = 0; a <= 36; ++a) {
    for (int b = a + 1; b <= 36; ++b) {
      const double ms = apart(m[a].ms, m[b].ms), f0 = apart(m[a].f0, m[b].f0);
      EXPECT_TRUE(ms >= kApart || f0 >= kApart)
          << "profiles " << a << " and " << b << ": " << m[a].ms << " and " << m[b].ms << " ms, "
          << m[a].f0 << " and " << m[b].f0 << " Hz";
      if (std::max(ms, f0) < closest) {
        closest = std::max(ms, f0);
        closest_a = a;
        closest_b = b;
      }
    }
  }
  std::printf(
      "closest profiles %d and %d: %.1f %% apart in length (%.0f and %.0f ms), %.1f %% in "
      "pitch (%.1f and %.1f Hz)\n",
      closest_a, closest_b, 100 * apart(m[closest_a].ms, m[closest_b].ms), m[closest_a].ms,
      m[closest_b].ms, 100 * apart(m[closest_a].f0, m[closest_b].f0), m[closest_a].f0,
      m[closest_b].f0);
}

// Two renders of one text agree to within espeak-ng's wander: a few milliseconds, a few percent of
// loudness, the same pitch.
::testing::AssertionResult SoundAlike(const std::vector<std::int16_t>& a,
                                      const std::vector<std::int16_t>& b) {
  const double ms_a = Milliseconds(a.size()), ms_b = Milliseconds(b.size());
  const double rms_a = Rms(a), rms_b = Rms(b);
  const double f0_a = MedianF0(a, Rate()), f0_b = MedianF0(b, Rate());
  if (std::abs(ms_a - ms_b) > 30 || std::abs(rms_a - rms_b) > 0.1 * rms_a ||
      std::abs(f0_a - f0_b) > 0.03 * f0_a) {
    return ::testing::AssertionFailure()
           << ms_a << " and " << ms_b << " ms, rms " << rms_a << " and " << rms_b << ", " << f0_a
           << " and " << f0_b << " Hz";
  }
  return ::testing::AssertionSuccess();
}

TEST(SpeechAudio, StrayLessThanIsSpoken) {
  const auto cut = RenderSamples("It is plain that a");
  const auto whole = RenderSamples("It is plain that a <b is true for every number here.");
  EXPECT_GT(AudibleLength(whole), AudibleLength(cut) * 2);
  EXPECT_TRUE(
      SoundAlike(whole, RenderSamples("It is plain that a &lt;b is true for every number here.")));
}

TEST(SpeechAudio, EmphasisKeepsTheVolume) {
  const double soft = Rms(RenderSamples(R"(<VOLUME LEVEL="40"><emph>Really</emph> now.)"));
  const double full = Rms(RenderSamples(R"(<emph>Really</emph> now.)"));
  EXPECT_LT(soft, full * 0.6);
}

TEST(SpeechAudio, NothingCarriesOverBetweenCalls) {
  const auto before = RenderSamples(kSentence);
  RenderSamples(InProfile(31, "Deep and slow, <emph>very</emph> slow.") + R"(<RATE SPEED="+9">)");
  RenderSamples(
      R"(<VOICE REQUIRED="Name=Microsoft Mary"><VOLUME LEVEL="10"><PITCH MIDDLE="+9">Hi)");
  EXPECT_TRUE(SoundAlike(RenderSamples(kSentence), before));
}

TEST(SpeechAudio, PartOfSpeechChangesTheWord) {
  const auto noun = RenderSamples(R"(Put it on <partofsp part="noun">record</partofsp>.)");
  const auto verb = RenderSamples(R"(Put it on <partofsp part="verb">record</partofsp>.)");
  EXPECT_FALSE(SoundAlike(noun, verb));
  // The phoneme input is read, not spelt out.
  EXPECT_LT(Milliseconds(noun.size()),
            Milliseconds(RenderSamples("Put it on record.").size()) + 200);
}

TEST(SpeechAudio, ChosenVariantsExist) {
  const std::vector<std::string> installed = EspeakSynthesizer::Instance().ListVariants();
  for (std::string_view variant : EspeakVariantsUsed()) {
    EXPECT_THAT(installed, ::testing::Contains(std::string(variant)));
  }
}

// --- files ---------------------------------------------------------------------------------

std::vector<std::int16_t> ReadAudioFile(const std::string& path, int* rate = nullptr) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path;
  if (file == nullptr) {
    return {};
  }
  std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames));
  sf_read_short(file, samples.data(), info.frames);
  sf_close(file);
  if (rate != nullptr) {
    *rate = info.samplerate;
  }
  return samples;
}

TEST(FileSpeechVoice, WritesWhatItSpeaks) {
  const std::string text = R"(<VOICE REQUIRED="Gender=Female">Caf)"
                           "\xE9"
                           R"(, <silence msec="300"/>please!</VOICE>)";
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quillon_file_voice";
  std::filesystem::create_directories(dir);
  for (AudioFormat format : {AudioFormat::Wav, AudioFormat::Flac, AudioFormat::Ogg}) {
    const std::string path =
        (dir / ("speech." + std::string(AudioFormatExtension(format)))).string();
    std::vector<std::int16_t> spoken;
    {
      // The same samples go to the file and to memory.
      FileSpeechVoice voice(path, format);
      SinkSpeechVoice memory([&](std::span<const std::int16_t> s) {
        spoken.insert(spoken.end(), s.begin(), s.end());
      });
      voice.Speak(Windows1252ToUtf16(text), kSpeakIsXml);
      const std::size_t first = voice.FramesWritten();
      memory.Speak(Windows1252ToUtf16(text), kSpeakIsXml);
      EXPECT_NEAR(static_cast<double>(spoken.size()), static_cast<double>(first), Rate() * 0.03);
      spoken.clear();
      voice.Speak(Windows1252ToUtf16(text), kSpeakIsXml);
      voice.Close();
    }
    int rate = 0;
    const auto read = ReadAudioFile(path, &rate);
    EXPECT_EQ(rate, Rate());
    EXPECT_NEAR(Milliseconds(read.size()), 2 * 1000.0 * 1.6, 1000.0) << path;
    if (format != AudioFormat::Ogg) {
      // Lossless: the 300 ms silence is there as exact zeros.
      std::size_t longest = 0, run = 0;
      for (std::int16_t s : read) {
        run = s == 0 ? run + 1 : 0;
        longest = std::max(longest, run);
      }
      EXPECT_GE(longest, static_cast<std::size_t>(Rate() * 3 / 10)) << path;
    }
  }
  std::filesystem::remove_all(dir);
}

// The words of a sentence with markup: each once, in order, pointing at itself in the text, at the
// sample where it starts.
TEST(FileSpeechVoice, ReportsEveryWordOnceWhereItStands) {
  const std::string sentence =
      R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="+2">Tom &amp; <emph>Mary</emph> )"
      R"(<VOICE REQUIRED="Name=Microsoft Sam">walked</VOICE> home. <silence msec="500"/>)"
      R"(It cost <context ID="currency">$3.50</context>, they said.</VOICE>)";
  const std::u16string text = Windows1252ToUtf16(sentence);
  std::vector<std::int16_t> samples;
  SinkSpeechVoice voice(
      [&](std::span<const std::int16_t> s) { samples.insert(samples.end(), s.begin(), s.end()); });
  std::vector<HeardWord> words;
  voice.SetWordListener([&](const HeardWord& word) { words.push_back(word); });
  voice.Speak(text, kSpeakIsXml);
  std::vector<std::string> spoken;
  for (const HeardWord& word : words) {
    spoken.push_back(Utf16ToUtf8(std::u16string_view(text).substr(word.start, word.length)));
    EXPECT_EQ(word.at, std::chrono::steady_clock::time_point{});  // no time: nothing played
  }
  EXPECT_THAT(spoken, ::testing::ElementsAre("Tom", "&amp;", "Mary", "walked", "home", "It", "cost",
                                             "$3.50", "they", "said"));
  ASSERT_EQ(words.size(), 10u);
  for (std::size_t i = 1; i < words.size(); ++i) {
    EXPECT_GT(words[i].sample, words[i - 1].sample) << spoken[i];
  }
  EXPECT_LT(words.back().sample, AudibleEnd(samples));
  // "It" comes after the half second of quiet that the silence is.
  std::size_t quiet = 0;
  for (std::size_t i = words[5].sample; i > 0 && samples[i - 1] == 0; --i) {
    ++quiet;
  }
  EXPECT_GE(quiet, static_cast<std::size_t>(Rate() / 2));
}

TEST(FileSpeechVoice, UnwritablePathIsAnError) {
  try {
    FileSpeechVoice voice("/nonexistent-dir/x.wav", AudioFormat::Wav);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr("/nonexistent-dir/x.wav"));
  }
}

// The reading speed: every profile's rate times the speed, silences divided by it.
std::vector<std::int16_t> RenderAtSpeed(const std::string& markup, double speed,
                                        std::vector<HeardWord>* words = nullptr) {
  std::vector<std::int16_t> samples;
  SinkSpeechVoice voice(
      [&](std::span<const std::int16_t> s) { samples.insert(samples.end(), s.begin(), s.end()); });
  voice.SetSpeed(speed);
  if (words != nullptr) {
    voice.SetWordListener([words](const HeardWord& word) { words->push_back(word); });
  }
  voice.Speak(Windows1252ToUtf16(markup), kSpeakIsXml);
  return samples;
}

TEST(SpeechAudio, ReadingSpeedScalesEveryProfileAndSilenceAlike) {
  // The narrator, a fast and a slow profile; a silence inside the sentence.
  for (const int voice : {0, 2, 9}) {
    SCOPED_TRACE(voice);
    const std::string sentence = InProfile(voice, kSentence);
    const double base = Milliseconds(AudibleLength(RenderAtSpeed(sentence, 1.0)));
    for (const double speed : {0.5, 1.5, 2.0, 3.0}) {
      SCOPED_TRACE(speed);
      const double heard = Milliseconds(AudibleLength(RenderAtSpeed(sentence, speed)));
      std::printf("voice %d at %.1fx: %.0f ms, %.3f of 1x's speed\n", voice, speed, heard,
                  base / heard);
      // espeak-ng follows a rate most closely in the middle of its range.
      EXPECT_NEAR(base / heard / speed, 1.0, speed == 1.5 || speed == 2.0 ? 0.05 : 0.08);
    }
  }
  // A silence of 1000 ms lasts 500 ms at 2x; outside the range the speed is clamped.
  const std::string plain = InProfile(0, "One two.");
  const std::string silent = InProfile(0, "One <silence msec=\"1000\"/> two.");
  const double added = Milliseconds(RenderAtSpeed(silent, 2.0).size()) -
                       Milliseconds(RenderAtSpeed(plain, 2.0).size());
  EXPECT_NEAR(added, 500.0, 40.0);
  EXPECT_NEAR(Milliseconds(RenderAtSpeed(plain, 9.0).size()),
              Milliseconds(RenderAtSpeed(plain, kFastestSpeed).size()), 5.0);
}

TEST(SpeechAudio, WordsStayOnTheirSoundAtEverySpeed) {
  const std::string sentence = InProfile(0, kSentence);
  std::vector<HeardWord> slow;
  std::vector<HeardWord> fast;
  RenderAtSpeed(sentence, 1.0, &slow);
  const std::vector<std::int16_t> samples = RenderAtSpeed(sentence, 2.0, &fast);
  ASSERT_EQ(slow.size(), fast.size());
  for (std::size_t i = 0; i < fast.size(); ++i) {
    EXPECT_EQ(fast[i].start, slow[i].start);
    // Each word is where its sound is: within the audio, in order, about half as far in.
    EXPECT_LT(fast[i].sample, samples.size());
    EXPECT_NEAR(static_cast<double>(fast[i].sample), static_cast<double>(slow[i].sample) / 2.0,
                Rate() * 0.08 + static_cast<double>(slow[i].sample) * 0.05);
  }
}

}  // namespace
}  // namespace quillon
