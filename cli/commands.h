// The qzfolder command-line tool: each group of commands registers itself on the app.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "message_sink.h"
#include "run_messages.h"

namespace qz::cli {

// Set by a command's callback: the process exit code (0 success, 1 failure).
extern int g_exitCode;

// Prints "error CODE: TEXT" to stderr and sets the exit code to 1.
void ReportFailure(int code, const char* text);
// The same for failures that are not the engine's: "error: TEXT".
void ReportError(const std::string& text);

// A message box as one line with its caption: results on stdout, the rest on stderr.
class ConsoleSink : public MessageSink {
 public:
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
    const bool result = icon != MessageIcon::Error && caption == caption::kInformation;
    std::fprintf(result ? stdout : stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
};

void AddCertificateCommands(CLI::App& app);
void AddFileCommands(CLI::App& app);
void AddFolderCommands(CLI::App& app);
void AddDirectoryCommands(CLI::App& app);

}  // namespace qz::cli
