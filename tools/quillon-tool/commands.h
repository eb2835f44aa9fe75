// The subcommands of quillon-tool, one source file each.
//
// Each Add...Command adds its subcommand to the app; when that subcommand is parsed, its callback
// runs it and stores the exit code. Errors are thrown as std::exception; main reports them.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "tools/quillon-tool/exit_codes.h"

namespace quillon::tool {

void RegisterCommands(CLI::App& app, int& exit_code);

// quillon-tool coverage DOCUMENT (coverage.h says what it prints). Returns 0, or kExitCannotOpen
// with the message on err.
int RunCoverageCommand(const std::string& document, std::ostream& out, std::ostream& err);

// The DOCUMENT argument of the commands that read the novel.
CLI::Option* AddDocumentArgument(CLI::App& command, std::string& document);

// Flushes out and throws std::runtime_error("Could not write the WHAT.") when writing failed.
void FinishWriting(std::ostream& out, const std::string& what);

void AddSayCommand(CLI::App& app, int& exit_code);
void AddScriptCommand(CLI::App& app, int& exit_code);
void AddTablesCommand(CLI::App& app, int& exit_code);
void AddRenderCommand(CLI::App& app, int& exit_code);
void AddWhyCommand(CLI::App& app, int& exit_code);
void AddCoverageCommand(CLI::App& app, int& exit_code);

}  // namespace quillon::tool
