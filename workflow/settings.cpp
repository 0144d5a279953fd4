#include "settings.h"

#include "ini_file.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#else
#include "linux/zevireve_home.h"
#endif

namespace qz {
namespace {

#ifdef _WIN32
std::string WindowsDirectoryFile() {
  char dir[MAX_PATH] = {};
  GetWindowsDirectoryA(dir, sizeof dir);
  return std::string(dir) + "\\" + kSettingsFileName;
}

std::string AppDataFile() {
  char dir[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, dir))) return std::string();
  return std::string(dir) + "\\" + kSettingsFileName;
}
#endif

}  // namespace

SettingsFile SettingsFile::OfUser() {
#ifdef _WIN32
  return SettingsFile(WindowsDirectoryFile(), AppDataFile());
#else
  return SettingsFile(ZevireveHome() + "/" + kSettingsFileName);
#endif
}

SettingsFile::SettingsFile(std::string path, std::string userPath)
    : path_(std::move(path)), userPath_(std::move(userPath)) {}

const std::string& SettingsFile::FileHolding(const char* key) const {
  if (!userPath_.empty() && IniHoldsKey(userPath_, kSettingsSection, key)) return userPath_;
  return path_;
}

std::string SettingsFile::ReadText(const char* key) const {
  return IniReadText(FileHolding(key), kSettingsSection, key);
}

int SettingsFile::ReadInt(const char* key) const { return IniReadInt(FileHolding(key), kSettingsSection, key); }

bool SettingsFile::WriteText(const char* key, const std::string& value) const {
  const std::string& target = FileHolding(key);
  if (IniWriteText(target, kSettingsSection, key, value)) return true;
  return target != userPath_ && !userPath_.empty() && IniWriteText(userPath_, kSettingsSection, key, value);
}

std::string DefaultCertificateName(const SettingsFile& settings) {
  if (settings.ReadInt(key::kSetCertFlag) != 1) return std::string();
  return settings.ReadText(key::kCertName);
}

bool WriteDefaultCertificate(const SettingsFile& settings, const std::string& name, const std::string& serialText) {
  bool ok = settings.WriteText(key::kSetCertFlag, "1");
  ok = settings.WriteText(key::kCertName, name) && ok;
  ok = settings.WriteText(key::kCertSerial, serialText) && ok;
  return ok;
}

}  // namespace qz
