#include "common_dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include "display_text.h"
#include "handles.h"

namespace qz::ui {
namespace {
using FileDialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEW);

// The system wants the filter pairs separated and ended by NUL characters. In UTF-16 no part of
// another character can look like '|'.
std::wstring SystemFilter(const std::string& filter) {
  if (filter.empty()) return {};
  std::wstring pairs = OurText(filter);
  for (wchar_t& c : pairs)
    if (c == L'|') c = L'\0';
  pairs.append(2, L'\0');
  return pairs;
}

// Title and filter are our texts; the initial name and the chosen path are ANSI texts.
std::optional<std::string> RunFileDialog(FileDialogFunction run, HWND owner,
                                         const FileDialogOptions& options) {
  std::wstring path(MAX_PATH, L'\0');
  AnsiText(options.initialName).copy(path.data(), MAX_PATH - 1);
  const std::wstring filter = SystemFilter(options.filter);
  const std::wstring title = OurText(options.title);
  const std::wstring defaultExtension = AnsiText(options.defaultExtension);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  dialog.Flags = options.flags | OFN_EXPLORER;
  if (!run(&dialog)) return std::nullopt;
  path.resize(path.find(L'\0'));
  return AnsiTextFromWide(path);
}
}  // namespace

std::optional<std::string> ChooseFileToOpen(HWND owner, const FileDialogOptions& options) {
  return RunFileDialog(&GetOpenFileNameW, owner, options);
}

std::optional<std::string> ChooseFileToSave(HWND owner, const FileDialogOptions& options) {
  return RunFileDialog(&GetSaveFileNameW, owner, options);
}

std::optional<std::string> ChooseFolder(HWND owner, const std::string& title) {
  std::wstring name(MAX_PATH, L'\0');
  const std::wstring wideTitle = OurText(title);
  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.pszDisplayName = name.data();
  browse.lpszTitle = wideTitle.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  unique_item_id_list chosen(SHBrowseForFolderW(&browse));
  std::string path(MAX_PATH, '\0');
  if (!chosen || !SHGetPathFromIDListA(chosen.get(), path.data())) return std::nullopt;
  path.resize(path.find('\0'));
  return path;
}

}  // namespace qz::ui
