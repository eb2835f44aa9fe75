#include "tools/quillon-tool/commands.h"

namespace quillon::tool {

void RegisterCommands(CLI::App& app, int& exit_code) {
  AddSayCommand(app, exit_code);
}

}  // namespace quillon::tool
