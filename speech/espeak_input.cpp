#include "speech/espeak_input.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>

#include "speech/heteronym_table.h"
#include "speech/markup_chars.h"
#include "text/encoding.h"

namespace quillon {
namespace {

// Text with, for each byte, the markup it came from.
struct SourcedText {
  std::string text;
  std::vector<MarkupSpan> sources;

  SourcedText() = default;
  SourcedText(std::string t, std::vector<MarkupSpan> s)
      : text(std::move(t)), sources(std::move(s)) {}
  // Text the translator adds: it stands on nothing of the markup.
  explicit SourcedText(std::string_view added) : text(added), sources(added.size()) {}

  void Append(std::string_view piece, MarkupSpan from) {
    text.append(piece);
    sources.insert(sources.end(), piece.size(), from);
  }
  void Append(const SourcedText& other) {
    text += other.text;
    sources.insert(sources.end(), other.sources.begin(), other.sources.end());
  }
  SourcedText Sub(std::size_t at, std::size_t n = std::string::npos) const {
    n = std::min(n, text.size() - std::min(at, text.size()));
    return SourcedText(
        text.substr(at, n),
        std::vector<MarkupSpan>(sources.begin() + static_cast<std::ptrdiff_t>(at),
                                sources.begin() + static_cast<std::ptrdiff_t>(at + n)));
  }
  bool Blank() const { return TrimMarkupSpaces(text).empty(); }
};

// The span from the start of the first source to the end of the last one in [at, at + n).
MarkupSpan Covering(const std::vector<MarkupSpan>& sources, std::size_t at, std::size_t n) {
  MarkupSpan span;
  for (std::size_t k = at; k < at + n && k < sources.size(); ++k) {
    if (sources[k].empty()) {
      continue;
    }
    if (span.empty()) {
      span = sources[k];
    } else {
      span.begin = std::min(span.begin, sources[k].begin);
      span.end = std::max(span.end, sources[k].end);
    }
  }
  return span;
}

// "$3,141,592.65" read as money: "3141592 dollars and 65 cents", all of it standing on the
// amount. Anything that is not an amount after a dollar sign is left as it is.
SourcedText SpellMoney(const SourcedText& in) {
  const std::string& text = in.text;
  SourcedText out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '$' || i + 1 >= text.size() || !IsAsciiDigit(text[i + 1])) {
      out.Append(std::string_view(&text[i], 1), in.sources[i]);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    std::string dollars;
    while (j < text.size() && (IsAsciiDigit(text[j]) || (text[j] == ',' && j + 1 < text.size() &&
                                                         IsAsciiDigit(text[j + 1])))) {
      if (text[j] != ',') {
        dollars.push_back(text[j]);
      }
      ++j;
    }
    std::string cents;
    if (j + 2 < text.size() && text[j] == '.' && IsAsciiDigit(text[j + 1]) &&
        IsAsciiDigit(text[j + 2]) && (j + 3 >= text.size() || !IsAsciiDigit(text[j + 3]))) {
      cents.assign(text.substr(j + 1, 2));
      j += 3;
    }
    const auto is_one = [](std::string_view digits) {
      const std::size_t first = digits.find_first_not_of('0');
      return first != std::string_view::npos && digits.substr(first) == "1";
    };
    std::string spelt = dollars;
    spelt += is_one(dollars) ? " dollar" : " dollars";
    if (!cents.empty() && cents != "00") {
      spelt += " and ";
      spelt += cents[0] == '0' ? cents.substr(1) : cents;
      spelt += is_one(cents) ? " cent" : " cents";
    }
    out.Append(spelt, Covering(in.sources, i, j - i));
    i = j;
  }
  return out;
}

// The UTF-8 form of each Windows-1252 byte.
const std::array<std::string, 256>& Utf8OfByte() {
  static const std::array<std::string, 256> table = [] {
    std::array<std::string, 256> t;
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      t[static_cast<std::size_t>(b)] = Windows1252ToUtf8(std::string_view(&c, 1));
    }
    return t;
  }();
  return table;
}

// Text for espeak-ng: characters that SSML or the phoneme input would read are escaped, control
// characters (a NUL would end the string) become spaces. In UTF-8; each character keeps its
// source.
SourcedText EscapeText(const SourcedText& in) {
  SourcedText out;
  const std::string& text = in.text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
      c = ' ';
    } else if (c == '[' && i + 1 < text.size() && text[i + 1] == '[') {
      out.Append("[ ", in.sources[i]);  // "[[" would start phoneme input
      continue;
    }
    switch (c) {
      case '&':
        out.Append("&amp;", in.sources[i]);
        break;
      case '<':
        out.Append("&lt;", in.sources[i]);
        break;
      case '>':
        out.Append("&gt;", in.sources[i]);
        break;
      default:
        out.Append(Utf8OfByte()[static_cast<unsigned char>(c)], in.sources[i]);
    }
  }
  return out;
}

// Writes one utterance's SSML and keeps espeak-ng 1.51's phoneme input out of trouble: after
// "]]" it reads tags as text until the next word, so phonemes directly followed by a tag are
// given up for the plain word; and the space inside "[[... ]]" keeps a following "." from being
// read as "dot".
class UtteranceWriter {
 public:
  explicit UtteranceWriter(EspeakUtterance& utterance) : u_(utterance) {
    Add(SourcedText("<speak>"));
  }

  void Tag(const std::string& tag) {
    if (phonemes_at_) {
      SpellOutPhonemes();
    }
    Add(SourcedText(tag));
  }
  // The mark of silence number `index`. espeak-ng reports no mark that stands right after a full
  // stop, so there it goes before the full stop: the same quiet, as the pause after the full stop
  // is quiet too, and the sentence stays one utterance.
  void Mark(std::size_t index) {
    const std::string tag = "<mark name=\"" + std::to_string(index) + "\"/>";
    std::size_t cut = u_.ssml.size();
    if (last_char_ == '.') {
      // Back over the tags and spaces after the full stop (the run may be closed already), then
      // over the full stops.
      const std::string& ssml = u_.ssml;
      while (cut > 0 && (ssml[cut - 1] == '>' || IsMarkupSpace(ssml[cut - 1]))) {
        cut = ssml[cut - 1] == '>' ? ssml.rfind('<', cut - 1) : cut - 1;
      }
      while (cut > 0 && (ssml[cut - 1] == '.' || IsMarkupSpace(ssml[cut - 1]))) {
        --cut;
      }
    }
    if (cut == u_.ssml.size()) {
      Tag(tag);
      return;
    }
    SourcedText stop(
        u_.ssml.substr(cut),
        std::vector<MarkupSpan>(u_.ssml_sources.begin() + static_cast<std::ptrdiff_t>(cut),
                                u_.ssml_sources.end()));
    u_.ssml.resize(cut);
    u_.ssml_sources.resize(cut);
    if (last_group_at_ && *last_group_at_ + phonemes_length_ == cut) {
      phonemes_at_ = last_group_at_;  // phonemes right before a tag
    }
    Tag(tag);
    Add(stop);
  }
  void Text(const SourcedText& escaped) {
    const std::size_t last = escaped.text.find_last_not_of(" \t\n");
    if (last != std::string::npos) {
      phonemes_at_.reset();
      last_char_ = escaped.text[last];
    }
    Add(escaped);
  }
  void Phonemes(std::string_view phonemes, const SourcedText& plain_escaped, MarkupSpan word) {
    Tag("");  // phonemes right after phonemes: the first group is spelt out
    const std::string group = "[[" + std::string(phonemes) + " ]]";
    phonemes_at_ = u_.ssml.size();
    last_group_at_ = phonemes_at_;
    phonemes_length_ = group.size();
    phonemes_plain_ = plain_escaped;
    u_.ssml += group;
    u_.ssml_sources.insert(u_.ssml_sources.end(), group.size(), word);
    last_char_ = ']';
    ++phoneme_groups_;
  }
  // Punctuation taken from the start of the next run: it joins the last word, as a "." after a
  // space would be read as "dot".
  void Punctuation(const SourcedText& escaped) {
    if (escaped.text.empty()) {
      return;
    }
    while (!u_.ssml.empty() && u_.ssml.back() == ' ' && !phonemes_at_) {
      u_.ssml.pop_back();
      u_.ssml_sources.pop_back();
    }
    Text(escaped);
  }
  // Phonemes that end a stretch of text (before a mark or at the end of the utterance) get a
  // punctuation mark after them, where it does no harm, instead of being spelt out.
  void EndPhonemes(std::string_view punctuation) {
    if (phonemes_at_) {
      Text(SourcedText(punctuation));
    }
  }
  void Finish() {
    Tag("</speak>");
    u_.uses_phonemes = phoneme_groups_ > 0;
  }

 private:
  // The last phoneme group is given up for the plain word.
  void SpellOutPhonemes() {
    u_.ssml.replace(*phonemes_at_, phonemes_length_, phonemes_plain_.text);
    const auto at = u_.ssml_sources.begin() + static_cast<std::ptrdiff_t>(*phonemes_at_);
    u_.ssml_sources.erase(at, at + static_cast<std::ptrdiff_t>(phonemes_length_));
    u_.ssml_sources.insert(u_.ssml_sources.begin() + static_cast<std::ptrdiff_t>(*phonemes_at_),
                           phonemes_plain_.sources.begin(), phonemes_plain_.sources.end());
    phonemes_at_.reset();
    last_group_at_.reset();
    --phoneme_groups_;
  }
  void Add(const SourcedText& piece) {
    u_.ssml += piece.text;
    u_.ssml_sources.insert(u_.ssml_sources.end(), piece.sources.begin(), piece.sources.end());
  }

  EspeakUtterance& u_;
  std::optional<std::size_t> phonemes_at_;    // the last phoneme group, if no word followed it yet
  std::optional<std::size_t> last_group_at_;  // the last phoneme group
  std::size_t phonemes_length_ = 0;
  SourcedText phonemes_plain_;
  int phoneme_groups_ = 0;
  char last_char_ = 0;
};

// Writes one run's text as espeak-ng should read it.
void WriteRunText(UtteranceWriter& writer, const SourcedText& text, const SpeakingState& state) {
  if (state.part != PartOfSpeech::None) {
    const std::string_view word = TrimMarkupSpaces(text.text);
    if (auto phonemes = HeteronymPhonemes(word, state.part)) {
      const std::size_t lead = static_cast<std::size_t>(word.data() - text.text.data());
      const SourcedText plain = text.Sub(lead, word.size());
      writer.Text(EscapeText(text.Sub(0, lead)));
      writer.Phonemes(*phonemes, EscapeText(plain), Covering(plain.sources, 0, word.size()));
      writer.Text(EscapeText(text.Sub(lead + word.size())));
      return;
    }
  }
  if (state.context == SpeechContext::Currency) {
    writer.Text(EscapeText(SpellMoney(text)));
    return;
  }
  writer.Text(EscapeText(text));
}

// What the SSML elements of a run express; the part of speech and the context are in its text.
bool SameElements(const SpeakingState& a, const SpeakingState& b) {
  return a.rate == b.rate && a.volume == b.volume && a.pitch == b.pitch && a.emphasis == b.emphasis;
}

// Opens the elements that speak a run in state.
void OpenRun(UtteranceWriter& writer, const SpeakingState& state, double speed) {
  EspeakProsody p = MapProsody(state);
  // Faster than written, espeak-ng falls short of the rate asked for by some 3 % per step of 1x
  // (its pauses shrink less than its sounds): asked for that much more, the speed comes out right.
  const double asked = speed > 1.0 ? speed * (1.0 + 0.03 * (speed - 1.0)) : speed;
  p.rate_percent = static_cast<int>(std::lround(p.rate_percent * asked));
  const std::string volume = std::to_string(p.volume);
  std::string tag = "<prosody rate=\"" + std::to_string(p.rate_percent) + "%\" pitch=\"" +
                    std::to_string(p.pitch) + "\" range=\"" + std::to_string(p.range) +
                    "\" volume=\"" + volume + "\">";
  if (state.emphasis) {
    // espeak-ng's emphasis sets a volume of its own; the inner prosody restores ours.
    tag += "<emphasis><prosody volume=\"" + volume + "\">";
  }
  writer.Tag(tag);
}

void CloseRun(UtteranceWriter& writer, const SpeakingState& state) {
  writer.Tag(state.emphasis ? "</prosody></emphasis></prosody>" : "</prosody>");
}

// Punctuation that starts a run: espeak-ng reads a "." that follows a tag as "dot", so it goes
// to the end of the run before.
std::size_t LeadingPunctuation(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[n]);
    const bool punctuation = (c < 0x80 && c > ' ' && !IsAsciiLetter(text[n]) &&
                              !IsAsciiDigit(text[n]) && c != '$' && c != '&' && c != '<') ||
                             c == 0x85 || (c >= 0x91 && c <= 0x94);
    if (!punctuation) {
      break;
    }
    ++n;
  }
  return n;
}

}  // namespace

std::optional<MarkupSpan> WordSource(const EspeakUtterance& utterance, int text_position,
                                     int length) {
  if (text_position < 1 || length < 1) {
    return std::nullopt;
  }
  // Characters to bytes: a UTF-8 character starts at every byte that is not a continuation byte.
  const std::string& ssml = utterance.ssml;
  const std::size_t first_char = static_cast<std::size_t>(text_position - 1);
  const std::size_t end_char = first_char + static_cast<std::size_t>(length);
  std::size_t begin = ssml.size(), end = ssml.size();
  std::size_t chars = 0;
  for (std::size_t b = 0; b < ssml.size(); ++b) {
    if ((static_cast<unsigned char>(ssml[b]) & 0xC0) == 0x80) {
      continue;
    }
    if (chars == first_char) {
      begin = b;
    }
    if (chars == end_char) {
      end = b;
      break;
    }
    ++chars;
  }
  if (begin >= end) {
    return std::nullopt;
  }
  const MarkupSpan span = Covering(utterance.ssml_sources, begin, end - begin);
  if (span.empty()) {
    return std::nullopt;
  }
  return span;
}

// ---------------------------------------------------------------------------------------------

EspeakProsody MapProsody(const SpeakingState& state) {
  EspeakProsody p{};
  // Rate: each step multiplies the speed by the tenth root of 3.
  const double rate = std::pow(3.0, state.rate / 10.0);
  p.rate_percent = static_cast<int>(std::lround(rate * 100.0));
  // Pitch: each step is a 24th of an octave. espeak-ng's pitch moves the voice's base one octave
  // per 50 units; the range is scaled by the same factor, so the whole intonation moves together.
  const double factor = std::pow(2.0, state.pitch / 24.0);
  p.pitch = std::clamp(static_cast<int>(std::lround(50.0 + 50.0 * state.pitch / 24.0)), 0, 99);
  p.range = std::clamp(static_cast<int>(std::lround(50.0 * factor)), 0, 99);
  // Volume: percent of full volume, and espeak-ng's 100 is its full undistorted volume.
  p.volume = std::clamp(state.volume, 0, 100);
  return p;
}

// clang-format off
// The espeak-ng voices. Male voices come in three by loudness (below 75 %, below 80 %, the rest)
// and female ones in two (below 80 %, the rest), so that profiles that differ only in volume, or
// in a step of pitch, still sound like two people.
constexpr std::string_view kNarratorVoice    = "en-us+m3";
constexpr std::string_view kMaryVoice        = "en-us+f3";
constexpr std::string_view kRobotVoice       = "en-us+robosoft";
constexpr std::string_view kMaleVoice        = "en-us+m2";
constexpr std::string_view kSoftMaleVoice    = "en-us+m1";
constexpr std::string_view kSofterMaleVoice  = "en-us+m4";
constexpr std::string_view kFemaleVoice      = "en-us+f1";
constexpr std::string_view kSoftFemaleVoice  = "en-us+f4";
constexpr int kSoftVolume   = 80;
constexpr int kSofterVolume = 75;
// clang-format on

std::string_view EspeakVoiceName(const SpeakingState& state) {
  switch (state.voice) {
    case MarkupVoice::Narrator:
      return kNarratorVoice;
    case MarkupVoice::Mary:
      return kMaryVoice;
    case MarkupVoice::Robot:
      return kRobotVoice;
    case MarkupVoice::Male:
      return state.volume < kSofterVolume ? kSofterMaleVoice
             : state.volume < kSoftVolume ? kSoftMaleVoice
                                          : kMaleVoice;
    case MarkupVoice::Female:
      return state.volume < kSoftVolume ? kSoftFemaleVoice : kFemaleVoice;
  }
  return kNarratorVoice;
}

std::vector<std::string_view> EspeakVariantsUsed() {
  std::vector<std::string_view> variants;
  for (std::string_view name : {kNarratorVoice, kMaryVoice, kRobotVoice, kMaleVoice, kSoftMaleVoice,
                                kSofterMaleVoice, kFemaleVoice, kSoftFemaleVoice}) {
    variants.push_back(name.substr(name.find('+') + 1));
  }
  return variants;
}

std::vector<SpeechStep> TranslateSpeechMarkup(std::string_view markup, double speed) {
  speed = std::clamp(speed, kSlowestSpeed, kFastestSpeed);
  const auto scaled = [speed](int ms) { return static_cast<int>(std::lround(ms / speed)); };
  std::vector<SpeechStep> steps;
  std::optional<UtteranceWriter> writer;  // the utterance being written, the last step
  bool audible = false;                   // it holds more than white space
  MarkupVoice open_voice = MarkupVoice::Narrator;
  std::optional<SpeakingState> run_open;  // the state whose elements are open in it
  int pending_ms = 0;                     // silence met since the last audible run
  const auto add_silence_step = [&] {
    if (pending_ms > 0) {
      SpeechStep step;
      step.is_silence = true;
      step.silence_ms = scaled(pending_ms);
      steps.push_back(std::move(step));
      pending_ms = 0;
    }
  };
  const auto close = [&] {
    if (writer) {
      writer->EndPhonemes(".");
      // A line break ends the text: espeak-ng reads a final "." after a quotation mark or a
      // parenthesis as "dot" when a tag follows it directly.
      writer->Text(SourcedText("\n"));
      if (run_open) {
        CloseRun(*writer, *run_open);
        run_open.reset();
      }
      writer->Finish();
      writer.reset();
      if (!audible) {
        steps.pop_back();  // white space alone says nothing
      }
    }
    add_silence_step();
  };
  for (const MarkupSegment& segment : ParseSpeechMarkup(markup)) {
    if (segment.is_silence) {
      pending_ms = std::min(pending_ms + segment.silence_ms, kMaxSilenceMs);
      continue;
    }
    SourcedText text(segment.text, segment.sources);
    if (writer && open_voice != segment.state.voice) {
      close();
    }
    if (!writer) {
      if (text.Blank()) {
        continue;  // white space before a voice's first words
      }
      add_silence_step();
      steps.emplace_back();
      // The voice of the stretch's first run speaks all of it, whatever the volume does later.
      steps.back().utterance.voice_name = std::string(EspeakVoiceName(segment.state));
      writer.emplace(steps.back().utterance);
      audible = false;
      open_voice = segment.state.voice;
    }
    // Runs whose elements are alike share them: espeak-ng also times the pause at a clause
    // boundary differently when the prosody is reopened there.
    const bool new_elements = run_open && !SameElements(*run_open, segment.state);
    if (run_open && (new_elements || (pending_ms > 0 && !text.Blank()))) {
      // A tag comes next: punctuation that starts the run stays with the words before it.
      const std::size_t punctuation = LeadingPunctuation(text.text);
      writer->Punctuation(EscapeText(text.Sub(0, punctuation)));
      text = text.Sub(punctuation);
    }
    if (new_elements) {
      CloseRun(*writer, *run_open);
      run_open.reset();
    }
    const bool run_audible = !text.Blank();
    if (run_audible && pending_ms > 0) {
      // A silence between two runs of one voice: a mark where the audio path inserts it.
      EspeakUtterance& u = steps.back().utterance;
      writer->EndPhonemes(",");
      writer->Mark(u.silences_ms.size());
      u.silences_ms.push_back(scaled(pending_ms));
      pending_ms = 0;
    }
    if (!run_open) {
      OpenRun(*writer, segment.state, speed);
      run_open = segment.state;
    }
    audible = audible || run_audible;
    WriteRunText(*writer, text, segment.state);
  }
  close();
  return steps;
}

}  // namespace quillon
