#include "naming.h"

#include "narrow_text.h"

namespace qz {

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + kPathSeparator + name;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t separator = FindLastSeparator(path);
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string EncryptedFolderOf(const std::string& sourceFolder) { return sourceFolder + kEncryptedSuffix; }

std::string EncryptedFilePath(const std::string& destinationFolder, const std::string& fileName) {
  return JoinPath(destinationFolder, fileName + kEncryptedSuffix);
}

std::string PlainNameOf(const std::string& encryptedName) {
  const std::size_t z = FindLastChar(encryptedName, 'z');
  if (z == std::string::npos || z < 2) return std::string();
  return encryptedName.substr(0, z - 2);
}

bool IsInEncryptedForm(const std::string& fullPath) {
  const std::size_t suffix = FindFirstText(fullPath, kEncryptedSuffix);
  return suffix != std::string::npos && suffix > 0;
}

std::string CertificateItemText(const std::string& displayName, const std::string& serialText) {
  return displayName + "(" + serialText + ")";
}

std::string SerialOfItem(const std::string& itemText) {
  const std::size_t open = FindLastChar(itemText, '(');
  const std::size_t start = open == std::string::npos ? 0 : open + 1;
  const std::size_t close = FindFirstChar(itemText, ')', start);
  if (close == std::string::npos) return std::string();
  return itemText.substr(start, close - start);
}

}  // namespace qz
