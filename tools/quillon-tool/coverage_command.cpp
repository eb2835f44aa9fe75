// quillon-tool coverage DOCUMENT: which rows of the cue, name and rule tables a reading of the
// document never uses, where cues of two voices compete, and the lines and sentences per voice.
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/coverage.h"
#include "tools/quillon-tool/document.h"

namespace quillon::tool {

int RunCoverageCommand(const std::string& document, std::ostream& out, std::ostream& err) {
  std::optional<std::string> text = LoadDocumentTextOrSay(document, err);
  if (!text) {
    return kExitCannotOpen;
  }
  const Coverage coverage = MeasureCoverage(std::move(*text));
  PrintCoverage(coverage, out);
  FinishWriting(out, "coverage");
  PrintCoverageSummary(coverage, err);
  return 0;
}

void AddCoverageCommand(CLI::App& app, int& exit_code) {
  auto document = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "coverage",
      "Print, as JSON Lines, the table rows a reading of the document never uses, the lines "
      "where cues of two voices compete, and lines and sentences per voice; a summary on "
      "standard error");
  AddDocumentArgument(*command, *document);
  command->callback(
      [document, &exit_code] { exit_code = RunCoverageCommand(*document, std::cout, std::cerr); });
}

}  // namespace quillon::tool
