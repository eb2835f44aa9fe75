#include "tools/quillon-tool/commands.h"

namespace quillon::tool {

void RegisterCommands(CLI::App& app, int& exit_code) {
  (void)app;
  (void)exit_code;
}

}  // namespace quillon::tool
