// Where the pieces of a rewritten text come from in the text it was made from.
//
// A step that rewrites text (the abbreviation pre-pass, a pronunciation rule, a wrapper, removing
// line breaks) can record, beside its result, a TextMap: which spans of its output stand for which
// spans of its input. Maps of steps run one after the other are joined with Then, so a sentence
// handed to the voice can be traced back to the characters of the line it was cut from. Offsets
// count bytes of Windows-1252 text, which are also UTF-16 units of the text the voice is given
// (every byte converts to one character of the Basic Multilingual Plane).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace quillon {

// [start, start + length), in bytes (= UTF-16 units).
struct TextSpan {
  std::size_t start = 0;
  std::size_t length = 0;
  std::size_t end() const { return start + length; }
  bool operator==(const TextSpan&) const = default;
};

// Which spans of an output text come from which spans of its input. Built piece by piece in output
// order: a copied run (each character stands for one input character), a replaced run (the output
// run stands for a whole input span), inserted text (from nothing).
class TextMap {
 public:
  // The next length output characters are the next length input characters.
  void Copy(std::size_t length);
  // The next output_length output characters stand for the next input_length input characters
  // as a whole. Replace(n, 0) deletes n input characters.
  void Replace(std::size_t input_length, std::size_t output_length);
  // The next output_length output characters stand for the same input span as the last Replace
  // did (a rewrite whose words lie between tags); an Insert when there was no such span.
  void ReplaceAgain(std::size_t output_length);
  // The next output_length output characters come from nothing.
  void Insert(std::size_t output_length);
  // Deletes the next length input characters.
  void Delete(std::size_t length) { Replace(length, 0); }
  // Continues with another map: its input follows this map's input, its output this map's output.
  void Append(const TextMap& next);

  std::size_t InputLength() const { return input_length_; }
  std::size_t OutputLength() const { return output_length_; }

  // The input span the output span came from: the smallest span that covers everything it touches.
  // std::nullopt when it touches only inserted text, or nothing (an empty span).
  std::optional<TextSpan> Source(TextSpan output) const;

  // This map followed by next (next's input is this map's output): from next's output to this
  // map's input.
  TextMap Then(const TextMap& next) const;

  static TextMap Identity(std::size_t length);

  // Equal when both say the same about every span.
  bool operator==(const TextMap& other) const;

 private:
  // One run of output. A copied run maps character by character onto [in_start, in_start +
  // out_length); any other run stands for the whole [in_start, in_start + in_length), or for
  // nothing when in_length is 0.
  struct Run {
    std::size_t out_start = 0;
    std::size_t out_length = 0;
    std::size_t in_start = 0;
    std::size_t in_length = 0;
    bool copied = false;
    bool operator==(const Run&) const = default;
  };

  void Push(Run run);
  // The first run whose output ends after position; runs_.size() when none does.
  std::size_t RunAt(std::size_t position) const;

  std::vector<Run> runs_;
  std::size_t input_length_ = 0;
  std::size_t output_length_ = 0;
  // The input span of the last Replace, for ReplaceAgain.
  std::size_t last_replaced_start_ = 0;
  std::size_t last_replaced_length_ = 0;
};

// Appends to map the map of one occurrence of search rewritten as replacement. Tags in the
// replacement ("<" to the first ">" after it) come from nothing. When the replacement holds the
// search text's characters unchanged and only adds tags around or between them, those characters
// are copied. Otherwise the whole words that the search text and the replacement (without its
// tags) begin and end with alike are copied, and every other run of the replacement stands for
// the whole rest of the search text: in "They will nott go" for "They will not go", "nott" stands
// for "not"; in "uh con uh muh walk" for "Oconomowoc", every word stands for all of it.
void MapReplacement(std::string_view search, std::string_view replacement, TextMap& map);

}  // namespace quillon
