// The settings file zeVireve.ini, section CODE. There is no settings object that lives on:
// every operation forms the file anew and reads the keys it needs when it needs them, so a
// change in the file is seen by the next operation.
#pragma once

#include <string>

namespace qz {

inline constexpr char kSettingsFileName[] = "zeVireve.ini";
inline constexpr char kSettingsSection[] = "CODE";

namespace key {
inline constexpr char kSetCertFlag[] = "SETCERFLG";
inline constexpr char kCertName[] = "CERTNAME";
inline constexpr char kCertSerial[] = "CERTSerial";
inline constexpr char kDirectoryHost[] = "QZIP";
inline constexpr char kDirectoryPort[] = "QZPORT";
inline constexpr char kDirectoryBindName[] = "QZSDN";
inline constexpr char kDirectoryPassword[] = "QZPASSWORD";
}  // namespace key

class SettingsFile {
 public:
  // Windows: zeVireve.ini in the Windows directory, where administrators provision the keys,
  // shadowed key by key by zeVireve.ini in the user's application-data folder, which takes the
  // writes that the Windows directory refuses (it is not writable without elevation).
  // Elsewhere: zeVireve.ini in the home folder of the certificate stores.
  static SettingsFile OfUser();

  // `userPath` empty: one file with no shadow.
  explicit SettingsFile(std::string path, std::string userPath = std::string());

  // Missing file, section or key: "" and 0. Texts are cut to 127 bytes.
  std::string ReadText(const char* key) const;
  int ReadInt(const char* key) const;
  // A key the user file holds is written there; any other goes to the main file, and to the
  // user file when the main file cannot be written. False when no file took it.
  bool WriteText(const char* key, const std::string& value) const;

  const std::string& path() const { return path_; }
  const std::string& userPath() const { return userPath_; }

 private:
  const std::string& FileHolding(const char* key) const;

  std::string path_;
  std::string userPath_;
};

// The default certificate's name, read only when SETCERFLG is exactly 1; else "".
std::string DefaultCertificateName(const SettingsFile& settings);

// SETCERFLG, CERTNAME and CERTSerial, in that order. False when any write failed.
bool WriteDefaultCertificate(const SettingsFile& settings, const std::string& name, const std::string& serialText);

}  // namespace qz
