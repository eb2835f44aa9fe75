// The sentence splitter: cuts the first sentence off what is left of a line.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// The first sentence of line: the line itself, unchanged and untrimmed, when no break mark is
// found or an exception string applies; otherwise a trimmed prefix of the line.
std::string GetFirstSentence(std::string_view line);

// Cuts one line into sentences from its front, with the same results as GetFirstSentence on each
// rest, in time linear in the line's length: it remembers where each mark next occurs (or that it
// does not occur again) and searches only the text it has not seen yet.
class SentenceSplitter {
 public:
  // The line must outlive the splitter.
  explicit SentenceSplitter(std::string_view line);

  // GetFirstSentence(rest). rest is normally a part of the line that begins no earlier than the
  // rest of the previous call; any other text works too, with its search started afresh.
  std::string FirstSentence(std::string_view rest);

  static constexpr std::size_t kMarkCount = 32;

 private:
  // Where the mark occurs first at or after `from`, as an offset into the line; kNowhere when it
  // does not occur there.
  std::size_t NextOccurrence(std::size_t mark, std::size_t from);
  void Rebind(std::string_view line);

  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
  static constexpr std::size_t kNowhere = static_cast<std::size_t>(-2);

  std::string_view line_;
  std::array<std::size_t, kMarkCount> next_;  // kUnknown: not searched since the rest moved past
  std::size_t from_ = 0;                      // where the previous rest began
};

}  // namespace quillon
