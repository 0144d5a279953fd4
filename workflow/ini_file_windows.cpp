// The platform's private-profile functions.
#include <windows.h>

#include <vector>

#include "ini_file.h"

namespace qz {

bool IniHoldsKey(const std::string& path, const char* section, const char* key) {
  // Without a key name the call lists the section's keys, each NUL-terminated.
  std::vector<char> names(32 * 1024);
  DWORD length = GetPrivateProfileStringA(section, nullptr, "", names.data(), DWORD(names.size()), path.c_str());
  for (const char* name = names.data(); name < names.data() + length && *name; name += lstrlenA(name) + 1)
    if (lstrcmpiA(name, key) == 0) return true;
  return false;
}

std::string IniReadText(const std::string& path, const char* section, const char* key) {
  char value[kIniTextBufferSize] = {};
  GetPrivateProfileStringA(section, key, "", value, sizeof value, path.c_str());
  return value;
}

int IniReadInt(const std::string& path, const char* section, const char* key) {
  return int(GetPrivateProfileIntA(section, key, 0, path.c_str()));
}

bool IniWriteText(const std::string& path, const char* section, const char* key, const std::string& value) {
  return WritePrivateProfileStringA(section, key, value.c_str(), path.c_str()) != 0;
}

}  // namespace qz
