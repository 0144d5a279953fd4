// The qzfolder command-line tool: each group of commands registers itself on the app.
#pragma once

#include <CLI/CLI.hpp>

namespace qz::cli {

// Set by a command's callback: the process exit code (0 success, 1 failure).
extern int g_exitCode;

// Prints "error CODE: TEXT" to stderr and sets the exit code to 1.
void ReportFailure(int code, const char* text);
// The same for failures that are not the engine's: "error: TEXT".
void ReportError(const std::string& text);

void AddCertificateCommands(CLI::App& app);
void AddFileCommands(CLI::App& app);
void AddFolderCommands(CLI::App& app);

}  // namespace qz::cli
