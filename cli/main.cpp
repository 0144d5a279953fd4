// qzfolder [--home DIR] COMMAND ...: the engine and the folder runs from a shell.
#include <cstdio>

#include "commands.h"

#ifndef _WIN32
#include "linux/zevireve_home.h"
#endif

namespace qz::cli {
int g_exitCode = 0;

void ReportFailure(int code, const char* text) {
  std::fprintf(stderr, "error %d: %s\n", code, text);
  g_exitCode = 1;
}

void ReportError(const std::string& text) {
  std::fprintf(stderr, "error: %s\n", text.c_str());
  g_exitCode = 1;
}
}  // namespace qz::cli

int main(int argc, char** argv) {
  CLI::App app{"Encrypts and decrypts files and folders for holders of X.509 certificates.", "qzfolder"};
  app.require_subcommand(1);
#ifndef _WIN32
  std::string home;
  app.add_option("--home", home, "folder of the certificate stores and the settings file")
      ->each([](const std::string& dir) { qz::SetZevireveHome(dir); });
#endif
  qz::cli::AddCertificateCommands(app);
  qz::cli::AddFileCommands(app);
  qz::cli::AddFolderCommands(app);
  qz::cli::AddDirectoryCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    const CLI::App* failing = &app;
    for (const CLI::App* sub : app.get_subcommands()) failing = sub;
    const std::string name = failing == &app ? "qzfolder" : "qzfolder " + failing->get_name();
    std::fprintf(stderr, "%s", CLI::Formatter().make_usage(failing, name).c_str());
    return 2;
  } catch (const std::exception& e) {
    // Running out of memory, say: a failure like any other, not an abort.
    qz::cli::ReportError(e.what());
  }
  return qz::cli::g_exitCode;
}
