// document_text FILE: the text the reader's view holds for a document, in UTF-8 with LF line ends
// (as a user copies it out of the window), for the install test to compare.
#include <cstdio>
#include <exception>
#include <string>

#include "document/document.h"
#include "text/encoding.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: document_text FILE\n");
    return 64;
  }
  try {
    std::string text = quillon::Windows1252ToUtf8(quillon::LoadDocument(argv[1]).ViewText());
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
        out.push_back(text[i]);
      }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
