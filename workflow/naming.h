// Names of encrypted folders and files, the way back to the plain names, and the certificate
// items of the decryption dialog. Every search goes character by character (narrow_text.h).
#pragma once

#include <string>

namespace qz {

inline constexpr char kEncryptedSuffix[] = ".qz";

// folder + separator + name, with nothing taken away: a folder that ends in a separator (a
// drive root) gives a doubled one.
std::string JoinPath(const std::string& folder, const std::string& name);

// The part after the last separator; the whole path when it has none.
std::string FileNameOf(const std::string& path);

// D:\docs gives D:\docs.qz; nothing is put between.
std::string EncryptedFolderOf(const std::string& sourceFolder);
// destination folder + separator + file name + ".qz".
std::string EncryptedFilePath(const std::string& destinationFolder, const std::string& fileName);

// Cut two bytes before the last z (the z of ".qz"): report.doc.qz gives report.doc, D:\docs.qz
// gives D:\docs. Empty without a z, or when the z is among the first two bytes.
std::string PlainNameOf(const std::string& encryptedName);

// Whether a listed file belongs to an encrypted folder: ".qz" occurs in its full path after the
// first byte, so in a folder whose own path holds ".qz" every file qualifies.
bool IsInEncryptedForm(const std::string& fullPath);

// "display name(serial)".
std::string CertificateItemText(const std::string& displayName, const std::string& serialText);
// The text between the last "(" and the first ")" after it; from the start without a "(",
// empty without a ")" after it. Serial texts hold no parentheses but display names may:
// Finance Office(East)(0A1B) gives 0A1B.
std::string SerialOfItem(const std::string& itemText);

}  // namespace qz
