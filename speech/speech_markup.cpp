#include "speech/speech_markup.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>

#include "reading/encoding.h"
#include "reading/text_primitives.h"
#include "speech/speech_voice.h"

namespace quillon {
namespace {

// ---------------------------------------------------------------------------------------------
// Characters and small parsers

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '-' || c == ':' || c == '.';
}
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && IsSpace(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

// A signed decimal number as the markup writes it ("+2", "-22", " 500 "); saturates far outside
// any meaningful value instead of overflowing. Anything else gives nothing.
struct MarkupNumber {
  long value;
  bool has_sign;
};
std::optional<MarkupNumber> ParseNumber(std::string_view text) {
  text = TrimSpaces(text);
  bool negative = false;
  bool has_sign = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    has_sign = true;
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  long value = 0;
  for (char c : text) {
    if (!IsAsciiDigit(c)) {
      return std::nullopt;
    }
    value = std::min(value * 10 + (c - '0'), 1'000'000L);
  }
  return MarkupNumber{negative ? -value : value, has_sign};
}

// ---------------------------------------------------------------------------------------------
// Tags

struct Attribute {
  std::string_view name;
  std::string_view value;
};

struct Tag {
  std::string_view name;
  bool is_end = false;
  bool is_empty = false;  // <NAME ... />
  std::vector<Attribute> attributes;
  std::size_t length = 0;  // characters from "<" through ">"

  std::optional<std::string_view> Get(std::string_view attribute) const {
    for (const Attribute& a : attributes) {
      if (EqualsIgnoringAsciiCase(a.name, attribute)) {
        return a.value;
      }
    }
    return std::nullopt;
  }
};

// Reads the tag that starts at text[0] == '<'. Gives nothing when the "<" starts no tag, so it is
// ordinary text: "a <b is true", "x < y", "<>", "<3".
std::optional<Tag> ReadTag(std::string_view text) {
  Tag tag;
  std::size_t i = 1;
  if (i < text.size() && text[i] == '/') {
    tag.is_end = true;
    ++i;
  }
  if (i >= text.size() || !IsAsciiLetter(text[i])) {
    return std::nullopt;
  }
  const std::size_t name_start = i;
  while (i < text.size() && IsNameChar(text[i])) {
    ++i;
  }
  tag.name = text.substr(name_start, i - name_start);
  for (;;) {
    const std::size_t before_space = i;
    while (i < text.size() && IsSpace(text[i])) {
      ++i;
    }
    if (i >= text.size()) {
      return std::nullopt;
    }
    if (text[i] == '>') {
      tag.length = i + 1;
      return tag;
    }
    if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '>' && !tag.is_end) {
      tag.is_empty = true;
      tag.length = i + 2;
      return tag;
    }
    // An attribute: name, "=", quoted value; it must be set off from what precedes it.
    if (tag.is_end || i == before_space || !IsAsciiLetter(text[i])) {
      return std::nullopt;
    }
    const std::size_t attribute_start = i;
    while (i < text.size() && IsNameChar(text[i])) {
      ++i;
    }
    Attribute attribute;
    attribute.name = text.substr(attribute_start, i - attribute_start);
    while (i < text.size() && IsSpace(text[i])) {
      ++i;
    }
    if (i >= text.size() || text[i] != '=') {
      return std::nullopt;
    }
    ++i;
    while (i < text.size() && IsSpace(text[i])) {
      ++i;
    }
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) {
      return std::nullopt;
    }
    const char quote = text[i++];
    const std::size_t value_end = text.find(quote, i);
    if (value_end == std::string_view::npos) {
      return std::nullopt;
    }
    const std::string_view value = text.substr(i, value_end - i);
    if (value.find('<') != std::string_view::npos) {
      return std::nullopt;
    }
    attribute.value = value;
    tag.attributes.push_back(attribute);
    i = value_end + 1;
  }
}

// ---------------------------------------------------------------------------------------------
// Entities

// The Windows-1252 byte of a character reference, or nothing for a number that names no character.
std::optional<std::string> CharacterByte(unsigned long code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return std::nullopt;
  }
  std::u16string utf16;
  if (code >= 0x10000) {
    code -= 0x10000;
    utf16.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    utf16.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
  } else {
    utf16.push_back(static_cast<char16_t>(code));
  }
  return Utf16ToWindows1252(utf16);
}

// Decodes the entity at text[0] == '&': its text and its length, or nothing when the "&" starts no
// entity and is ordinary text ("M&M", "Q & A", "&nosuch;").
std::optional<std::pair<std::string, std::size_t>> ReadEntity(std::string_view text) {
  const std::size_t semicolon = text.substr(0, 12).find(';');
  if (semicolon == std::string_view::npos || semicolon < 2) {
    return std::nullopt;
  }
  const std::string_view body = text.substr(1, semicolon - 1);
  const std::size_t length = semicolon + 1;
  if (body[0] == '#') {
    std::string_view digits = body.substr(1);
    int base = 10;
    if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) {
      base = 16;
      digits.remove_prefix(1);
    }
    if (digits.empty()) {
      return std::nullopt;
    }
    unsigned long code = 0;
    for (char c : digits) {
      int digit;
      if (IsAsciiDigit(c)) {
        digit = c - '0';
      } else if (base == 16 && AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f') {
        digit = AsciiLower(c) - 'a' + 10;
      } else {
        return std::nullopt;
      }
      code = std::min(code * base + digit, 0x110000UL);
    }
    if (auto byte = CharacterByte(code)) {
      return std::make_pair(*byte, length);
    }
    return std::nullopt;
  }
  // clang-format off
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kNamed{{
      {"amp",  "&"},
      {"lt",   "<"},
      {"gt",   ">"},
      {"quot", "\""},
      {"apos", "'"},
      {"nbsp", "\xA0"},
  }};
  // clang-format on
  for (const auto& [name, value] : kNamed) {
    if (body == name) {
      return std::make_pair(std::string(value), length);
    }
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// The speaking state as a set of per-element stacks.
//
// An end tag closes the most recent open element of its own name, so each element's open
// instances form a stack of their own; the state is read off their tops, and every operation is
// constant time however deep the nesting.

enum class Element { Voice, Rate, Volume, Pitch, Emph, Silence, PartOfSp, Context, Unknown };

Element ElementOf(std::string_view name) {
  // clang-format off
  static constexpr std::array<std::pair<std::string_view, Element>, 8> kElements{{
      {"voice",    Element::Voice},
      {"rate",     Element::Rate},
      {"volume",   Element::Volume},
      {"pitch",    Element::Pitch},
      {"emph",     Element::Emph},
      {"silence",  Element::Silence},
      {"partofsp", Element::PartOfSp},
      {"context",  Element::Context},
  }};
  // clang-format on
  for (const auto& [element_name, element] : kElements) {
    if (EqualsIgnoringAsciiCase(name, element_name)) {
      return element;
    }
  }
  return Element::Unknown;
}

// The voice a REQUIRED value asks for ("Name=Microsoft Mary", "Gender=Female;Age=Adult"), or
// nothing when it names no voice we know, which keeps the voice as it was.
std::optional<MarkupVoice> VoiceOfRequired(std::string_view required) {
  std::optional<MarkupVoice> by_gender;
  while (!required.empty()) {
    const std::size_t semicolon = required.find(';');
    std::string_view item = required.substr(0, semicolon);
    required =
        semicolon == std::string_view::npos ? std::string_view{} : required.substr(semicolon + 1);
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      continue;
    }
    const std::string_view key = TrimSpaces(item.substr(0, equals));
    const std::string_view value = TrimSpaces(item.substr(equals + 1));
    if (EqualsIgnoringAsciiCase(key, "Name")) {
      const auto ends_with = [&](std::string_view word) {
        return value.size() >= word.size() &&
               EqualsIgnoringAsciiCase(value.substr(value.size() - word.size()), word);
      };
      if (ends_with("Mary")) {
        return MarkupVoice::Mary;
      }
      if (ends_with("Sam")) {
        return MarkupVoice::Robot;
      }
      if (ends_with("Mike")) {
        return MarkupVoice::Narrator;
      }
    } else if (EqualsIgnoringAsciiCase(key, "Gender")) {
      if (EqualsIgnoringAsciiCase(value, "Male")) {
        by_gender = MarkupVoice::Male;
      } else if (EqualsIgnoringAsciiCase(value, "Female")) {
        by_gender = MarkupVoice::Female;
      }
    }
  }
  return by_gender;
}

class StateStacks {
 public:
  SpeakingState Current() const {
    SpeakingState state;
    if (!voice_.empty()) {
      state.voice = voice_.back();
    }
    if (!rate_.empty()) {
      state.rate = static_cast<int>(std::clamp(rate_.back(), -10L, 10L));
    }
    if (!volume_.empty()) {
      state.volume = static_cast<int>(std::clamp(volume_.back(), 0L, 100L));
    }
    if (!pitch_.empty()) {
      state.pitch = static_cast<int>(std::clamp(pitch_.back(), -24L, 24L));
    }
    state.emphasis = emph_ > 0;
    if (!part_.empty()) {
      state.part = part_.back();
    }
    if (!context_.empty()) {
      state.context = context_.back();
    }
    return state;
  }

  // A start tag (or the empty-element form, which stays in force like an unclosed start tag).
  void Open(Element element, const Tag& tag) {
    switch (element) {
      case Element::Voice: {
        const SpeakingState now = Current();
        std::optional<MarkupVoice> voice;
        if (auto required = tag.Get("REQUIRED")) {
          voice = VoiceOfRequired(*required);
        }
        voice_.push_back(voice.value_or(now.voice));
        break;
      }
      case Element::Rate:
        rate_.push_back(Relative(rate_, tag.Get("SPEED"), tag.Get("ABSSPEED")));
        break;
      case Element::Pitch:
        pitch_.push_back(Relative(pitch_, tag.Get("MIDDLE"), tag.Get("ABSMIDDLE")));
        break;
      case Element::Volume: {
        long level = volume_.empty() ? 100 : volume_.back();
        if (auto value = tag.Get("LEVEL")) {
          if (auto number = ParseNumber(*value)) {
            level = number->value;
          }
        }
        volume_.push_back(level);
        break;
      }
      case Element::Emph:
        if (!tag.is_empty) {
          ++emph_;
        }
        break;
      case Element::PartOfSp: {
        PartOfSpeech part = PartOfSpeech::None;
        if (auto value = tag.Get("PART")) {
          if (EqualsIgnoringAsciiCase(TrimSpaces(*value), "noun")) {
            part = PartOfSpeech::Noun;
          } else if (EqualsIgnoringAsciiCase(TrimSpaces(*value), "verb")) {
            part = PartOfSpeech::Verb;
          }
        }
        if (!tag.is_empty) {
          part_.push_back(part);
        }
        break;
      }
      case Element::Context: {
        SpeechContext context = SpeechContext::Other;
        if (auto value = tag.Get("ID")) {
          if (EqualsIgnoringAsciiCase(TrimSpaces(*value), "currency")) {
            context = SpeechContext::Currency;
          } else if (EqualsIgnoringAsciiCase(TrimSpaces(*value), "time")) {
            context = SpeechContext::Time;
          }
        }
        if (!tag.is_empty) {
          context_.push_back(context);
        }
        break;
      }
      case Element::Silence:
      case Element::Unknown:
        break;
    }
  }

  // An end tag: closes the most recent open element of its name; a stray one does nothing.
  void Close(Element element) {
    switch (element) {
      case Element::Voice:
        PopIfAny(voice_);
        break;
      case Element::Rate:
        PopIfAny(rate_);
        break;
      case Element::Volume:
        PopIfAny(volume_);
        break;
      case Element::Pitch:
        PopIfAny(pitch_);
        break;
      case Element::Emph:
        if (emph_ > 0) {
          --emph_;
        }
        break;
      case Element::PartOfSp:
        PopIfAny(part_);
        break;
      case Element::Context:
        PopIfAny(context_);
        break;
      case Element::Silence:
      case Element::Unknown:
        break;
    }
  }

 private:
  // RATE and PITCH add up (SPEED, MIDDLE) unless set absolutely (ABSSPEED, ABSMIDDLE). The sums
  // are kept within bounds so that no markup can overflow them.
  static long Relative(const std::vector<long>& stack, std::optional<std::string_view> relative,
                       std::optional<std::string_view> absolute) {
    const long enclosing = stack.empty() ? 0 : stack.back();
    if (absolute) {
      if (auto number = ParseNumber(*absolute)) {
        return std::clamp(number->value, -1000L, 1000L);
      }
    }
    if (relative) {
      if (auto number = ParseNumber(*relative)) {
        return std::clamp(enclosing + number->value, -1000L, 1000L);
      }
    }
    return enclosing;
  }
  template <typename T>
  static void PopIfAny(std::vector<T>& stack) {
    if (!stack.empty()) {
      stack.pop_back();
    }
  }

  std::vector<MarkupVoice> voice_;
  std::vector<long> rate_;
  std::vector<long> volume_;
  std::vector<long> pitch_;
  std::size_t emph_ = 0;
  std::vector<PartOfSpeech> part_;
  std::vector<SpeechContext> context_;
};

class SegmentBuilder {
 public:
  void AddText(const SpeakingState& state, std::string_view text) {
    if (text.empty()) {
      return;
    }
    if (!segments_.empty() && !segments_.back().is_silence && segments_.back().state == state) {
      segments_.back().text.append(text);
      return;
    }
    MarkupSegment run;
    run.state = state;
    run.text.assign(text);
    segments_.push_back(std::move(run));
  }
  void AddSilence(int ms) {
    ms = std::min(ms, kMaxTotalSilenceMs - total_silence_ms_);
    if (ms <= 0) {
      return;
    }
    total_silence_ms_ += ms;
    if (!segments_.empty() && segments_.back().is_silence) {
      segments_.back().silence_ms = std::min(segments_.back().silence_ms + ms, kMaxSilenceMs);
      return;
    }
    MarkupSegment silence;
    silence.is_silence = true;
    silence.silence_ms = ms;
    segments_.push_back(std::move(silence));
  }
  std::vector<MarkupSegment> Take() { return std::move(segments_); }

 private:
  std::vector<MarkupSegment> segments_;
  int total_silence_ms_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Translation to espeak-ng

// Heteronyms the pronunciation rules mark with a part of speech, in espeak-ng's phoneme mnemonics.
struct Heteronym {
  std::string_view word;  // lower case
  std::string_view noun;
  std::string_view verb;
};
// clang-format off
constexpr std::array<Heteronym, 11> kHeteronyms{{
    {"address",    "'adrEs",       "a#dr'Es"},
    {"addresses",  "'adrEsI#z",    "a#dr'EsI#z"},
    {"record",     "r'Ek3d",       "rI#k'o@d"},
    {"objects",    "'0bdZEkts",    "@bdZ'Ekts"},
    {"content",    "k'0ntEnt",     "k@nt'Ent"},
    {"lives",      "l'aIvz",       "l'Ivz"},
    {"progress",   "pr'0grEs",     "pr@gr'Es"},
    {"perfect",    "p'3:fEkt",     "p3f'Ekt"},
    {"convicts",   "k'0nvIkts",    "k@nv'Ikts"},
    {"alternates", "O:lt'3:n@ts",  "'O:lt3n,eIts"},
    {"sound",      "s'aUnd",       "s'aUnd"},
}};
// clang-format on

std::optional<std::string_view> HeteronymPhonemes(std::string_view word, PartOfSpeech part) {
  for (const Heteronym& h : kHeteronyms) {
    if (EqualsIgnoringAsciiCase(word, h.word)) {
      return part == PartOfSpeech::Noun ? h.noun : h.verb;
    }
  }
  return std::nullopt;
}

// "$3,141,592.65" read as money: "3141592 dollars and 65 cents". Anything that is not an amount
// after a dollar sign is left as it is.
std::string SpellMoney(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '$' || i + 1 >= text.size() || !IsAsciiDigit(text[i + 1])) {
      out.push_back(text[i++]);
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
    out += dollars;
    out += is_one(dollars) ? " dollar" : " dollars";
    if (!cents.empty() && cents != "00") {
      out += " and ";
      out += cents[0] == '0' ? cents.substr(1) : cents;
      out += is_one(cents) ? " cent" : " cents";
    }
    i = j;
  }
  return out;
}

// Text for espeak-ng: characters that SSML or the phoneme input would read are escaped, control
// characters (a NUL would end the string) become spaces. In UTF-8.
std::string EscapeText(std::string_view text) {
  std::string cleaned;
  cleaned.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
      cleaned.push_back(' ');
    } else if (c == '[' && i + 1 < text.size() && text[i + 1] == '[') {
      cleaned += "[ ";  // "[[" would start phoneme input
    } else {
      cleaned.push_back(c);
    }
  }
  std::string out;
  for (char c : Windows1252ToUtf8(cleaned)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out.push_back(c);
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
  explicit UtteranceWriter(EspeakUtterance& utterance) : u_(utterance) { u_.ssml = "<speak>"; }

  void Tag(const std::string& tag) {
    if (phonemes_at_) {
      u_.ssml.replace(*phonemes_at_, phonemes_length_, phonemes_plain_);
      phonemes_at_.reset();
      --phoneme_groups_;
    }
    u_.ssml += tag;
  }
  void Text(const std::string& escaped) {
    if (escaped.find_first_not_of(" \t\n") != std::string::npos) {
      phonemes_at_.reset();
    }
    u_.ssml += escaped;
  }
  void Phonemes(std::string_view phonemes, const std::string& plain_escaped) {
    Tag("");  // phonemes right after phonemes: the first group is spelt out
    const std::string group = "[[" + std::string(phonemes) + " ]]";
    phonemes_at_ = u_.ssml.size();
    phonemes_length_ = group.size();
    phonemes_plain_ = plain_escaped;
    u_.ssml += group;
    ++phoneme_groups_;
  }
  // Punctuation taken from the start of the next run: it joins the last word, as a "." after a
  // space would be read as "dot".
  void Punctuation(const std::string& escaped) {
    if (escaped.empty()) {
      return;
    }
    while (!u_.ssml.empty() && u_.ssml.back() == ' ' && !phonemes_at_) {
      u_.ssml.pop_back();
    }
    Text(escaped);
  }
  // Phonemes that end a stretch of text (before a mark or at the end of the utterance) get a
  // punctuation mark after them, where it does no harm, instead of being spelt out.
  void EndPhonemes(std::string_view punctuation) {
    if (phonemes_at_) {
      Text(std::string(punctuation));
    }
  }
  void Finish() {
    Tag("</speak>");
    u_.uses_phonemes = phoneme_groups_ > 0;
  }

 private:
  EspeakUtterance& u_;
  std::optional<std::size_t> phonemes_at_;  // the last phoneme group, if no word followed it yet
  std::size_t phonemes_length_ = 0;
  std::string phonemes_plain_;
  int phoneme_groups_ = 0;
};

// Writes one run's text as espeak-ng should read it.
void WriteRunText(UtteranceWriter& writer, std::string_view text, const SpeakingState& state) {
  if (state.part != PartOfSpeech::None) {
    const std::string_view word = TrimSpaces(text);
    if (auto phonemes = HeteronymPhonemes(word, state.part)) {
      const std::size_t lead = static_cast<std::size_t>(word.data() - text.data());
      writer.Text(EscapeText(text.substr(0, lead)));
      writer.Phonemes(*phonemes, EscapeText(word));
      writer.Text(EscapeText(text.substr(lead + word.size())));
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
void OpenRun(UtteranceWriter& writer, const SpeakingState& state) {
  const EspeakProsody p = MapProsody(state);
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

// ---------------------------------------------------------------------------------------------

std::vector<MarkupSegment> ParseSpeechMarkup(std::string_view markup) {
  StateStacks stacks;
  SegmentBuilder builder;
  SpeakingState state = stacks.Current();
  std::string text;  // text of the current state not yet handed to the builder
  const auto flush = [&] {
    builder.AddText(state, text);
    text.clear();
  };

  std::size_t i = 0;
  while (i < markup.size()) {
    const std::size_t special = markup.find_first_of("<&", i);
    if (special == std::string_view::npos) {
      text.append(markup.substr(i));
      break;
    }
    text.append(markup.substr(i, special - i));
    i = special;
    if (markup[i] == '&') {
      if (auto entity = ReadEntity(markup.substr(i))) {
        text += entity->first;
        i += entity->second;
      } else {
        text.push_back('&');
        ++i;
      }
      continue;
    }
    const std::optional<Tag> tag = ReadTag(markup.substr(i));
    if (!tag) {
      text.push_back('<');
      ++i;
      continue;
    }
    i += tag->length;
    const Element element = ElementOf(tag->name);
    if (element == Element::Silence) {
      if (!tag->is_end) {
        long ms = 0;
        if (auto value = tag->Get("MSEC")) {
          if (auto number = ParseNumber(*value)) {
            ms = std::clamp(number->value, 0L, static_cast<long>(kMaxSilenceMs));
          }
        }
        if (ms > 0) {
          flush();
          builder.AddSilence(static_cast<int>(ms));
        }
      }
      continue;
    }
    if (element == Element::Unknown) {
      continue;
    }
    if (tag->is_end) {
      stacks.Close(element);
    } else {
      stacks.Open(element, *tag);
    }
    const SpeakingState next = stacks.Current();
    if (!(next == state)) {
      flush();
      state = next;
    }
  }
  flush();
  return builder.Take();
}

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

std::string MarkupOfSpokenText(std::u16string_view text, unsigned flags) {
  std::string markup = Utf16ToWindows1252(text);
  if ((flags & kSpeakIsXml) != 0) {
    return markup;
  }
  std::string escaped;
  for (char c : markup) {
    if (c == '&') {
      escaped += "&amp;";
    } else if (c == '<') {
      escaped += "&lt;";
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

std::vector<SpeechStep> TranslateSpeechMarkup(std::string_view markup) {
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
      step.silence_ms = pending_ms;
      steps.push_back(std::move(step));
      pending_ms = 0;
    }
  };
  const auto close = [&] {
    if (writer) {
      writer->EndPhonemes(".");
      // A line break ends the text: espeak-ng reads a final "." after a quotation mark or a
      // parenthesis as "dot" when a tag follows it directly.
      writer->Text("\n");
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
    std::string_view text = segment.text;
    if (writer && open_voice != segment.state.voice) {
      close();
    }
    if (!writer) {
      if (TrimSpaces(text).empty()) {
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
    if (run_open && (new_elements || (pending_ms > 0 && !TrimSpaces(text).empty()))) {
      // A tag comes next: punctuation that starts the run stays with the words before it.
      const std::size_t punctuation = LeadingPunctuation(text);
      writer->Punctuation(EscapeText(text.substr(0, punctuation)));
      text.remove_prefix(punctuation);
    }
    if (new_elements) {
      CloseRun(*writer, *run_open);
      run_open.reset();
    }
    const bool run_audible = !TrimSpaces(text).empty();
    if (run_audible && pending_ms > 0) {
      // A silence between two runs of one voice: a mark where the audio path inserts it.
      EspeakUtterance& u = steps.back().utterance;
      writer->EndPhonemes(",");
      writer->Tag("<mark name=\"" + std::to_string(u.silences_ms.size()) + "\"/>");
      u.silences_ms.push_back(pending_ms);
      pending_ms = 0;
    }
    if (!run_open) {
      OpenRun(*writer, segment.state);
      run_open = segment.state;
    }
    audible = audible || run_audible;
    WriteRunText(*writer, text, segment.state);
  }
  close();
  return steps;
}

}  // namespace quillon
