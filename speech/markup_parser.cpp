#include "speech/markup_parser.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <tuple>

#include "speech/markup_chars.h"
#include "speech/speech_voice.h"
#include "text/encoding.h"
#include "text/text_primitives.h"

namespace quillon {
namespace {

// ---------------------------------------------------------------------------------------------
// Small parsers

bool IsNameChar(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '-' || c == ':' || c == '.';
}

// A signed decimal number as the markup writes it ("+2", "-22", " 500 "); saturates far outside
// any meaningful value instead of overflowing. Anything else gives nothing.
struct MarkupNumber {
  long value;
  bool has_sign;
};
std::optional<MarkupNumber> ParseNumber(std::string_view text) {
  text = TrimMarkupSpaces(text);
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
    while (i < text.size() && IsMarkupSpace(text[i])) {
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
    while (i < text.size() && IsMarkupSpace(text[i])) {
      ++i;
    }
    if (i >= text.size() || text[i] != '=') {
      return std::nullopt;
    }
    ++i;
    while (i < text.size() && IsMarkupSpace(text[i])) {
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
    const std::string_view key = TrimMarkupSpaces(item.substr(0, equals));
    const std::string_view value = TrimMarkupSpaces(item.substr(equals + 1));
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
          if (EqualsIgnoringAsciiCase(TrimMarkupSpaces(*value), "noun")) {
            part = PartOfSpeech::Noun;
          } else if (EqualsIgnoringAsciiCase(TrimMarkupSpaces(*value), "verb")) {
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
          if (EqualsIgnoringAsciiCase(TrimMarkupSpaces(*value), "currency")) {
            context = SpeechContext::Currency;
          } else if (EqualsIgnoringAsciiCase(TrimMarkupSpaces(*value), "time")) {
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
  void AddText(const SpeakingState& state, std::string_view text,
               const std::vector<MarkupSpan>& sources) {
    if (text.empty()) {
      return;
    }
    if (segments_.empty() || segments_.back().is_silence || !(segments_.back().state == state)) {
      MarkupSegment run;
      run.state = state;
      segments_.push_back(std::move(run));
    }
    MarkupSegment& run = segments_.back();
    run.text.append(text);
    run.sources.insert(run.sources.end(), sources.begin(), sources.end());
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

}  // namespace

std::vector<MarkupSegment> ParseSpeechMarkup(std::string_view markup) {
  StateStacks stacks;
  SegmentBuilder builder;
  SpeakingState state = stacks.Current();
  // Text of the current state not yet handed to the builder, and where each byte came from.
  std::string text;
  std::vector<MarkupSpan> sources;
  const auto add = [&](std::string_view piece, std::size_t begin, std::size_t end) {
    text.append(piece);
    sources.insert(sources.end(), piece.size(), MarkupSpan{begin, end});
  };
  const auto add_verbatim = [&](std::size_t begin, std::size_t end) {
    text.append(markup.substr(begin, end - begin));
    for (std::size_t k = begin; k < end; ++k) {
      sources.push_back({k, k + 1});
    }
  };
  const auto flush = [&] {
    builder.AddText(state, text, sources);
    text.clear();
    sources.clear();
  };

  std::size_t i = 0;
  while (i < markup.size()) {
    const std::size_t special = markup.find_first_of("<&", i);
    if (special == std::string_view::npos) {
      add_verbatim(i, markup.size());
      break;
    }
    add_verbatim(i, special);
    i = special;
    if (markup[i] == '&') {
      if (auto entity = ReadEntity(markup.substr(i))) {
        add(entity->first, i, i + entity->second);
        i += entity->second;
      } else {
        add_verbatim(i, i + 1);
        ++i;
      }
      continue;
    }
    const std::optional<Tag> tag = ReadTag(markup.substr(i));
    if (!tag) {
      add_verbatim(i, i + 1);
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

std::string PlainTextOfMarkup(std::string_view markup) {
  std::string plain;
  bool space = false;  // white space met since the last character kept
  for (const MarkupSegment& segment : ParseSpeechMarkup(markup)) {
    for (char c : segment.text) {
      if (IsMarkupSpace(c) || (static_cast<unsigned char>(c) < 0x20)) {
        space = true;
        continue;
      }
      if (space && !plain.empty()) {
        plain.push_back(' ');
      }
      space = false;
      plain.push_back(c);
    }
  }
  return plain;
}

std::pair<std::size_t, std::size_t> SpokenMarkup::Utf16Of(MarkupSpan span) const {
  const std::size_t last = utf16_offsets.empty() ? 0 : utf16_offsets.size() - 1;
  const std::size_t begin = utf16_offsets.empty() ? 0 : utf16_offsets[std::min(span.begin, last)];
  const std::size_t end = utf16_offsets.empty() ? 0 : utf16_offsets[std::min(span.end, last)];
  return {begin, end > begin ? end - begin : 0};
}

HeardWord SpokenMarkup::WordAt(MarkupSpan span, std::uint64_t sample) const {
  HeardWord word;
  std::tie(word.start, word.length) = Utf16Of(span);
  word.sample = sample;
  return word;
}

SpokenMarkup ReadSpokenText(std::u16string_view text, unsigned flags) {
  SpokenMarkup spoken;
  const bool is_xml = (flags & kSpeakIsXml) != 0;
  spoken.markup.reserve(text.size());
  spoken.utf16_offsets.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size();) {
    // A surrogate pair is one character and one byte ('?'); everything else one unit, one byte.
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                      text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    const std::size_t units = pair ? 2 : 1;
    const std::string byte = Utf16ToWindows1252(text.substr(i, units));
    std::string_view piece = byte;
    if (!is_xml && byte == "&") {
      piece = "&amp;";
    } else if (!is_xml && byte == "<") {
      piece = "&lt;";
    }
    spoken.markup.append(piece);
    spoken.utf16_offsets.insert(spoken.utf16_offsets.end(), piece.size(), i);
    i += units;
  }
  spoken.utf16_offsets.push_back(text.size());
  return spoken;
}

std::string MarkupOfSpokenText(std::u16string_view text, unsigned flags) {
  return ReadSpokenText(text, flags).markup;
}

}  // namespace quillon
