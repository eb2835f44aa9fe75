// novel-rtf: writes the novel's rich-text document from its annotated source.
//
//   novel-rtf <novel dir> <document.rtf> <speakers.tsv>
//
// The source is <novel dir>/title.txt followed by <novel dir>/chapters/*.txt in name order, UTF-8,
// one paragraph per line. The markup (see novel/README.md):
//   "% ..."      a comment line, dropped
//   "@N "        at the start: the paragraph's intended speaker, voice number N (removed)
//   "== ..."     a heading: centred, bold, large
//   ">> ..."     a centred line
//   "*...*"      italics inside a paragraph
// The document is Windows-1252 rich text. A blank paragraph follows the last one, so the end
// marker's line ends with a paragraph break like every other line. speakers.tsv lists each
// annotated paragraph: its index in the document (from 0), the voice, and file:line of the source.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Windows-1252 bytes 0x80..0x9F and the code points they stand for (0 where the byte is unused).
// clang-format off
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
// clang-format on

// One code point as a Windows-1252 byte; throws for a character the code page lacks.
unsigned char ToWindows1252(char32_t c, const std::string& where) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    return static_cast<unsigned char>(c);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == c) {
      return static_cast<unsigned char>(0x80 + i);
    }
  }
  throw std::runtime_error(where + ": character U+" + std::to_string(static_cast<unsigned>(c)) +
                           " has no Windows-1252 byte");
}

std::string Utf8ToWindows1252(std::string_view text, const std::string& where) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t c = lead;
    if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      c = lead & 0x07;
    } else if (lead >= 0x80) {
      throw std::runtime_error(where + ": invalid UTF-8");
    }
    if (i + extra >= text.size()) {
      throw std::runtime_error(where + ": invalid UTF-8");
    }
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        throw std::runtime_error(where + ": invalid UTF-8");
      c = (c << 6) | (next & 0x3F);
    }
    out.push_back(static_cast<char>(ToWindows1252(c, where)));
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

// Rich-text body of one paragraph's text: escapes, 8-bit bytes as \'hh, "*" toggling italics.
std::string RtfText(std::string_view text) {
  std::string out;
  bool italic = false;
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (ch == '*') {
      italic = !italic;
      out += italic ? "\\i " : "\\i0 ";
    } else if (ch == '\\' || ch == '{' || ch == '}') {
      out.push_back('\\');
      out.push_back(ch);
    } else if (b >= 0x80) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\'%02x", b);
      out += hex;
    } else {
      out.push_back(ch);
    }
  }
  if (italic)
    out += "\\i0 ";
  return out;
}

struct SourceLine {
  std::string text;   // UTF-8, markup included
  std::string where;  // file:line
};

std::vector<SourceLine> ReadSource(const fs::path& dir) {
  std::vector<fs::path> files{dir / "title.txt"};
  std::vector<fs::path> chapters;
  for (const auto& entry : fs::directory_iterator(dir / "chapters")) {
    if (entry.path().extension() == ".txt")
      chapters.push_back(entry.path());
  }
  std::sort(chapters.begin(), chapters.end());
  files.insert(files.end(), chapters.begin(), chapters.end());

  std::vector<SourceLine> lines;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
      throw std::runtime_error("Cannot open file " + file.string());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      if (line.starts_with("%"))
        continue;
      lines.push_back({line, file.filename().string() + ":" + std::to_string(number)});
    }
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: novel-rtf <novel dir> <document.rtf> <speakers.tsv>\n";
    return 2;
  }
  try {
    const auto lines = ReadSource(argv[1]);
    std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Georgia;}}\n"
        "{\\info{\\title The Blithe Wanderings of Quillon Fenwright}}\n"
        "\\viewkind4\\uc1\\f0\\fs24\n";
    std::ostringstream speakers;
    speakers << "# paragraph\tvoice\tsource\n";
    int paragraph = 0;
    auto emit = [&](std::string_view format, const std::string& body) {
      rtf += "\\pard\\plain\\f0\\fs24";
      rtf += format;
      rtf += ' ';
      rtf += body;
      rtf += "\\par\n";
      ++paragraph;
    };
    for (const auto& [raw, where] : lines) {
      std::string_view text = raw;
      if (text.starts_with("@")) {
        const auto space = text.find(' ');
        const std::string number(
            text.substr(1, space == std::string_view::npos ? text.npos : space - 1));
        if (space == std::string_view::npos || number.empty() ||
            number.find_first_not_of("0123456789") != std::string::npos || number.size() > 2) {
          throw std::runtime_error(where + ": a speaker mark is \"@\", a voice number and a space");
        }
        speakers << paragraph << '\t' << std::stoi(number) << '\t' << where << '\n';
        text.remove_prefix(space + 1);
      }
      std::string_view format;
      if (text.starts_with("== ")) {
        format = "\\qc\\b\\fs32";
        text.remove_prefix(3);
      } else if (text.starts_with(">> ")) {
        format = "\\qc";
        text.remove_prefix(3);
      }
      emit(format, RtfText(Utf8ToWindows1252(text, where)));
    }
    emit("", "");  // the end marker's line ends with a paragraph break too
    rtf += "}\n";

    std::ofstream out(argv[2], std::ios::binary);
    out << rtf;
    std::ofstream tsv(argv[3], std::ios::binary);
    tsv << speakers.str();
    if (!out || !tsv)
      throw std::runtime_error("Cannot write the novel's files");
  } catch (const std::exception& e) {
    std::cerr << "novel-rtf: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
