#include "speech/heteronym_table.h"

#include <array>

#include "text/text_primitives.h"

namespace quillon {
namespace {

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

}  // namespace

std::span<const Heteronym> Heteronyms() {
  return kHeteronyms;
}

std::optional<std::string_view> HeteronymPhonemes(std::string_view word, PartOfSpeech part) {
  for (const Heteronym& h : kHeteronyms) {
    if (EqualsIgnoringAsciiCase(word, h.word)) {
      return part == PartOfSpeech::Noun ? h.noun : h.verb;
    }
  }
  return std::nullopt;
}

}  // namespace quillon
