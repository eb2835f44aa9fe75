// What the rule table tests need to know about a row: its kind of rewrite, whether it changes the
// words, and the text the voice is given for its replacement.
#pragma once

#include <cctype>
#include <set>
#include <string>
#include <string_view>

#include "pronunciation/pronunciation_rule.h"

namespace quillon {

enum class RewriteKind { Plain, Emphasis, PartOfSpeech, Pause, Rate, Context, Volume };

inline bool Inserts(const PronunciationRule& rule, std::string_view tag) {
  for (const Rewrite& rewrite : rule.rewrites) {
    if (rewrite.replacement.find(tag) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// A row counts once, by the strongest markup it inserts.
inline RewriteKind KindOf(const PronunciationRule& rule) {
  if (Inserts(rule, "<VOLUME"))
    return RewriteKind::Volume;
  if (Inserts(rule, "<RATE"))
    return RewriteKind::Rate;
  if (Inserts(rule, "<context"))
    return RewriteKind::Context;
  if (Inserts(rule, "<partofsp"))
    return RewriteKind::PartOfSpeech;
  if (Inserts(rule, "<silence"))
    return RewriteKind::Pause;
  if (Inserts(rule, "<emph>") || Inserts(rule, "<EMPH>"))
    return RewriteKind::Emphasis;
  return RewriteKind::Plain;
}

// The text without its tags, each tag standing in for a space.
inline std::string WithoutTags(std::string_view text) {
  std::string out;
  bool in_tag = false;
  for (char c : text) {
    if (c == '<') {
      in_tag = true;
    } else if (c == '>' && in_tag) {
      in_tag = false;
      out += ' ';
    } else if (!in_tag) {
      out += c;
    }
  }
  return out;
}

// The letters and digits of a text, tags left out: "or<EMPH>it</EMPH> " has the words of "or it ",
// "im <EMPH>poss</EMPH> ter" does not have those of "imposter".
inline std::string Words(std::string_view text) {
  std::string out;
  for (char c : WithoutTags(text)) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      out += c;
    }
  }
  return out;
}

inline bool ChangesWords(const PronunciationRule& rule) {
  return Words(rule.rewrites[0].search) != Words(rule.rewrites[0].replacement);
}

// The two banner lines become plain words that a later row respells; their replacements are not
// what the voice says.
inline const std::set<int> kBannerRows = {38, 39};

// A plain or emphasis row that changes the words: what it says is checked against espeak-ng.
inline bool IsPhoneticRewrite(const PronunciationRule& rule) {
  const RewriteKind kind = KindOf(rule);
  return (kind == RewriteKind::Plain || kind == RewriteKind::Emphasis) && ChangesWords(rule) &&
         !kBannerRows.contains(rule.row);
}

// Rows whose spelling is kept as the novel's author wrote it although espeak-ng misreads it
// ("shmantsy", "shpeel" and "bookend id" are partly spelled out, "doos" ends in z, "gin" and
// "thuh" come out as "jin" and a voiceless "th"). They record no phonemes.
inline const std::set<int> kSpellingsKeptAsGiven = {8, 57, 68, 117, 167};

// The rows whose every field was written down when the table was drawn up (126 of them); the
// other 245 are ours to write, each one trigger equal to its search text.
// clang-format off
inline const std::set<int> kRowsGivenInFull = {
      1,   2,   3,   4,   5,   6,   7,   8,   9,  11,  12,  13,  14,  16,
     17,  21,  24,  25,  26,  27,  28,  31,  32,  35,  37,  38,  39,  40,
     41,  44,  45,  48,  50,  51,  54,  55,  57,  65,  66,  67,  68,  72,
     74,  77,  78,  88, 100, 101, 102, 103, 107, 108, 110, 111, 113, 117,
    123, 124, 133, 136, 137, 138, 142, 143, 148, 153, 156, 159, 160, 161,
    162, 163, 167, 170, 176, 177, 178, 182, 184, 187, 188, 195, 198, 207,
    209, 212, 218, 227, 229, 231, 234, 247, 250, 252, 254, 257, 270, 272,
    278, 287, 288, 298, 302, 304, 309, 312, 321, 322, 324, 327, 328, 331,
    335, 336, 340, 341, 349, 351, 353, 356, 361, 362, 364, 365, 370, 371,
};
// clang-format on

// The rows that speak the names of public figures.
inline const std::set<int> kPublicFigureRows = {20,  63,  81,  120, 121, 151, 190, 201, 215,
                                                220, 221, 222, 223, 228, 235, 239, 240, 241,
                                                258, 263, 310, 311, 316, 317, 334};

}  // namespace quillon
