// SimpleIni in place of the private-profile functions. Values are kept as the bytes they are
// (UTF-8 here), never converted.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include "file_io.h"
#include "ini_file.h"

namespace qz {
namespace {

// False only when a file is there but cannot be read: writing it then would lose its keys.
bool Load(const std::string& path, CSimpleIniA& ini) {
  ini.SetUnicode(false);
  ini.SetSpaces(false);  // key=value, as the platform's writer puts it
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT;
  return ini.LoadFile(path.c_str()) >= 0;
}

std::optional<std::string> Value(const std::string& path, const char* section, const char* key) {
  CSimpleIniA ini;
  const char* value = Load(path, ini) ? ini.GetValue(section, key, nullptr) : nullptr;
  if (!value) return std::nullopt;
  return std::string(value);
}

// The new file takes the old one's permissions: it may hold the directory password.
void KeepMode(const std::string& path, FILE* replacement) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0) fchmod(fileno(replacement), st.st_mode & 07777);
}

}  // namespace

bool IniHoldsKey(const std::string& path, const char* section, const char* key) {
  return Value(path, section, key).has_value();
}

std::string IniReadText(const std::string& path, const char* section, const char* key) {
  return Value(path, section, key).value_or(std::string()).substr(0, kIniTextBufferSize - 1);
}

int IniReadInt(const std::string& path, const char* section, const char* key) {
  const auto value = Value(path, section, key);
  if (!value) return 0;
  const long number = std::strtol(value->c_str(), nullptr, 10);
  return number < INT_MIN || number > INT_MAX ? 0 : int(number);
}

bool IniWriteText(const std::string& path, const char* section, const char* key, const std::string& value) {
  CSimpleIniA ini;
  std::string text;
  if (!Load(path, ini) || ini.SetValue(section, key, value.c_str()) < 0 || ini.Save(text) < 0) return false;
  // Written beside and renamed over, so that a failed write leaves the old file whole.
  PendingFile file(path);
  if (!file.Open()) return false;
  KeepMode(path, file.get());
  if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) return false;
  return file.Commit();
}

}  // namespace qz
