#include "certificate_viewer.h"

#include <windows.h>

#include <cstdio>

#include "unique_handle.h"
#include "windows/capi_handles.h"

namespace qz::dialogs {
namespace {
ViewerLauncher& Launcher() {
  static ViewerLauncher launcher;
  return launcher;
}

std::string WindowsDirectory() {
  char dir[MAX_PATH] = {};
  GetWindowsDirectoryA(dir, sizeof dir);
  return dir;
}

std::string TemporaryDirectory() {
  char dir[MAX_PATH] = {};
  DWORD length = GetTempPathA(sizeof dir, dir);
  std::string folder(dir, length < sizeof dir ? length : 0);
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

bool WriteWhole(const std::string& path, const BYTE* bytes, DWORD size) {
  unique_file file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(bytes, 1, size, file.get()) == size;
  return std::fclose(file.release()) == 0 && written;
}

void Launch(const std::string& commandLine) {
  if (Launcher())
    Launcher()(commandLine);
  else
    WinExec(commandLine.c_str(), SW_SHOW);
}
}  // namespace

bool ViewCertificate(const Certificate& cert, const char* fileName) {
  PCCERT_CONTEXT context = CertContext(cert);
  for (const std::string& folder : {WindowsDirectory(), TemporaryDirectory()}) {
    if (folder.empty()) continue;
    const std::string path = folder + "\\" + fileName;
    if (!WriteWhole(path, context->pbCertEncoded, context->cbCertEncoded)) {
      DeleteFileA(path.c_str());
      continue;
    }
    Launch("rundll32.exe cryptext.dll CryptExtOpenCER " + path);
    DeleteFileA(path.c_str());
    return true;
  }
  return false;
}

void SetViewerLauncher(ViewerLauncher launcher) { Launcher() = std::move(launcher); }

}  // namespace qz::dialogs
