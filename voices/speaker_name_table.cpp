// The speaker name list: names and descriptions searched in the narration around a quotation.
//
// Searched in this order. An earliest name competes by its position (on a tie the name higher in
// the list keeps the place); an immediate name decides at once when it is found.
#include "voices/speaker_name.h"

namespace quillon {
namespace {

constexpr NameKind E = NameKind::Earliest;
constexpr NameKind I = NameKind::Immediate;

// clang-format off
constexpr SpeakerName kSpeakerNames[] = {
  // name                          voice  kind
  {"Quillon",                        1,   E},
  {"Mary",                           2,   E},
  {"The server",                    16,   E},
  {"After a stunned silence,",      16,   I},
  {"H.R.",                           3,   E},
  {"the man",                       17,   E},
  {"Marvin",                        17,   I},
  {"pert young lady",               18,   E},
  {"the waitress",                  18,   E},
  {"he officer",                    20,   E},
  {"Bob",                            4,   E},
  {"Wayne",                          5,   E},
  {"associate",                     21,   E},
  {"Wilford",                       23,   E},
  {"the old clerk",                 24,   E},
  {"Earlybird",                      6,   E},
  {"Plumpo",                         7,   E},
  {"fatter-than-Dallas",             7,   E},
  {"Morley",                         9,   E},
  {"Mr. Slate",                      9,   E},
  {"the blonde knockout",           28,   E},
  {"The receptionist",              28,   E},
  {"gold-digger",                   28,   E},
  {"Dokie",                         11,   E},
  {"big, fleshy stranger",          11,   E},
  {"Sylvia",                        12,   E},
  {"Jim",                           29,   E},
  {"Billy",                         13,   E},
  {"Bullfrog",                      13,   E},
  {"20-something",                  13,   E},
  {"the boy",                       32,   E},
  {"the old lady",                  33,   E},
  {"he rookie",                     34,   E},
  {"Hal",                           35,   E},
  {"his partner",                   35,   E},
  {"Jean-Jacques",                  14,   E},
  {"The sitting President",         36,   E},
  {"The President",                 36,   E},
  {"Whortleberry",                  15,   E},
};
// clang-format on

}  // namespace

std::span<const SpeakerName> SpeakerNames() {
  return kSpeakerNames;
}

}  // namespace quillon
