#include "tools/quillon-tool/commands.h"

#include <stdexcept>

namespace quillon::tool {

void RegisterCommands(CLI::App& app, int& exit_code) {
  AddSayCommand(app, exit_code);
  AddScriptCommand(app, exit_code);
  AddTablesCommand(app, exit_code);
  AddRenderCommand(app, exit_code);
  AddWhyCommand(app, exit_code);
  AddCoverageCommand(app, exit_code);
}

CLI::Option* AddDocumentArgument(CLI::App& command, std::string& document) {
  return command.add_option("DOCUMENT", document, "The novel's document (rich text or plain text)")
      ->required();
}

void FinishWriting(std::ostream& out, const std::string& what) {
  out.flush();
  if (!out) {
    throw std::runtime_error("Could not write the " + what + ".");
  }
}

}  // namespace quillon::tool
