// The system's file-open and file-save dialogs and its folder chooser, each returning the
// chosen full path (an ANSI text), or nothing when the user cancelled. Titles and filters are
// our texts (display_text.h).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace qz::ui {

struct FileDialogOptions {
  std::string title;
  // Pairs of display text and pattern separated by '|', as MFC writes them: "(*.qz)|*.qz".
  std::string filter;
  std::string defaultExtension;  // ANSI text, as the initial name
  std::string initialName;
  DWORD flags = 0;  // OFN_... flags besides those the dialog always gets
};

std::optional<std::string> ChooseFileToOpen(HWND owner, const FileDialogOptions& options);
std::optional<std::string> ChooseFileToSave(HWND owner, const FileDialogOptions& options);
// A chooser that offers folders of the file system only.
std::optional<std::string> ChooseFolder(HWND owner, const std::string& title);

}  // namespace qz::ui
