// Shared fixtures of the engine tests: the test certificates in the user's stores, scratch
// folders and small file helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz::test {

// Serial texts of the certificates in tests/data/certs.
inline constexpr char kAlice1024[] = "0A1B";     // MY, 1024-bit
inline constexpr char kBob2048[] = "0080AB";     // MY, 2048-bit, serial 0x80AB
inline constexpr char kCarol2048[] = "3C2B1A";   // ADDRESSBOOK only
inline constexpr char kMallory[] = "00F00D";     // MY, paired with a key that is not its own
inline constexpr char kDaveEc[] = "00EC01";      // ADDRESSBOOK, an elliptic-curve key

std::string DataPath(const std::string& relative);

// Puts alice and bob (with their keys) into "MY", carol and dave into "ADDRESSBOOK". On Linux the
// stores live in a fresh home folder of this process; on Windows they are the user's system
// stores of the test prefix.
void InstallTestCertificates();
// Puts mallory's certificate into "MY" with a private key that does not match it.
void InstallCertificateWithWrongKey();

// A new empty folder for one test, removed with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  std::string Path(const std::string& name) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool Exists(const std::string& path);
std::vector<std::uint8_t> PatternBytes(std::size_t size);

}  // namespace qz::test
