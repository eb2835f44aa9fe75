// quillon-tool: the reader's engine from the command line, for authors and scripts.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <iostream>

#include "tools/quillon-tool/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"quillon-tool: the novel reader's engine from the command line"};
  app.require_subcommand(1);
  // A usage error prints the message and then the usage of the command concerned.
  app.failure_message(CLI::FailureMessage::help);
  int exit_code = 0;
  quillon::tool::RegisterCommands(app, exit_code);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help prints usage and succeeds; any other bad option is a usage error.
    if (e.get_exit_code() == 0) {
      return app.exit(e);
    }
    app.exit(e, std::cerr, std::cerr);
    return quillon::tool::kExitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return exit_code;
}
