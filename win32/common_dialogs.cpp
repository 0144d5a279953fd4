#include "common_dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include "handles.h"

namespace qz::ui {
namespace {
using FileDialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEA);

// The system wants the filter pairs separated and ended by NUL characters.
std::string SystemFilter(const std::string& filter) {
  if (filter.empty()) return {};
  std::string pairs = filter;
  for (char& c : pairs)
    if (c == '|') c = '\0';
  pairs.append(2, '\0');
  return pairs;
}

std::optional<std::string> RunFileDialog(FileDialogFunction run, HWND owner,
                                         const FileDialogOptions& options) {
  std::string path(MAX_PATH, '\0');
  options.initialName.copy(path.data(), MAX_PATH - 1);
  std::string filter = SystemFilter(options.filter);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = options.title.empty() ? nullptr : options.title.c_str();
  dialog.lpstrDefExt = options.defaultExtension.empty() ? nullptr : options.defaultExtension.c_str();
  dialog.Flags = options.flags | OFN_EXPLORER;
  if (!run(&dialog)) return std::nullopt;
  path.resize(path.find('\0'));
  return path;
}
}  // namespace

std::optional<std::string> ChooseFileToOpen(HWND owner, const FileDialogOptions& options) {
  return RunFileDialog(&GetOpenFileNameA, owner, options);
}

std::optional<std::string> ChooseFileToSave(HWND owner, const FileDialogOptions& options) {
  return RunFileDialog(&GetSaveFileNameA, owner, options);
}

std::optional<std::string> ChooseFolder(HWND owner, const std::string& title) {
  std::string name(MAX_PATH, '\0');
  BROWSEINFOA browse{};
  browse.hwndOwner = owner;
  browse.pszDisplayName = name.data();
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  unique_item_id_list chosen(SHBrowseForFolderA(&browse));
  std::string path(MAX_PATH, '\0');
  if (!chosen || !SHGetPathFromIDListA(chosen.get(), path.data())) return std::nullopt;
  path.resize(path.find('\0'));
  return path;
}

}  // namespace qz::ui
