#include "tools/quillon-tool/commands.h"

namespace quillon::tool {

void RegisterCommands(CLI::App& app, int& exit_code) {
  AddSayCommand(app, exit_code);
  AddScriptCommand(app, exit_code);
  AddTablesCommand(app, exit_code);
  AddRenderCommand(app, exit_code);
  AddWhyCommand(app, exit_code);
  AddCoverageCommand(app, exit_code);
}

}  // namespace quillon::tool
