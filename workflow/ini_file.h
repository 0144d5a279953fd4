// Reading and writing one key of a private-profile (INI) file, with the platform's rules:
// section and key names match without regard to case, a missing file, section or key reads as
// the default, and a write replaces the value or creates the file, section and key, leaving the
// other keys as they were.
#pragma once

#include <string>

namespace qz {

// A text value is read into a 128-byte buffer: longer values come back cut to 127 bytes.
inline constexpr std::size_t kIniTextBufferSize = 128;

bool IniHoldsKey(const std::string& path, const char* section, const char* key);
std::string IniReadText(const std::string& path, const char* section, const char* key);
// The leading decimal number of the value; 0 when the key is missing or holds no number.
int IniReadInt(const std::string& path, const char* section, const char* key);
bool IniWriteText(const std::string& path, const char* section, const char* key, const std::string& value);

}  // namespace qz
