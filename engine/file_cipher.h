// The engine object of the folder runs: encrypts one plain file for a recipient list into the
// encrypted file format, and decrypts one file with the private key of one of the user's
// certificates. Results are 0 or a failure code; the failure text stays until the next failure.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "certificate.h"
#include "failure.h"

namespace qz {

class PendingFile;

// Told after every chunk how many bytes of the input file have been read so far; returning
// false stops the call, which then leaves no output and returns kStopped.
using ChunkHook = std::function<bool(std::uint64_t inputBytesRead)>;
// Not a failure: the failure text stays as it was.
inline constexpr int kStopped = -1;

class CFileCipher {
 public:
  // How long a certificate found in the stores is kept: for one call, since the stores may
  // change between calls, or for the cipher's life, which a folder run makes as long as the run.
  enum class Lookups { PerCall, PerCipher };
  explicit CFileCipher(Lookups lookups = Lookups::PerCall);

  // recipientList: each serial text followed by "&", written to the file unchanged.
  int EncryptOneFile(std::string sourcePath, std::string targetPath, std::string recipientList);
  // serialText names the certificate in "MY" whose private key opens the file (any case).
  int DecryptOneFile(std::string encryptedPath, std::string plainPath, std::string serialText);

  // For runs that put their outputs in place in an order of their own: the output is left
  // written and closed under its temporary name in the unopened `target`; the commit renames it
  // into place, and dropping the PendingFile without one removes it.
  int EncryptOneFile(std::string sourcePath, PendingFile& target, std::string recipientList,
                     const ChunkHook& onChunk);
  int DecryptOneFile(std::string encryptedPath, PendingFile& plain, std::string serialText,
                     const ChunkHook& onChunk);
  int CommitEncrypted(PendingFile& target);
  int CommitDecrypted(PendingFile& plain);

  const char* ErrorText() const { return m_failureText; }

  // The random text whose MD5 digest the session key is derived from: letters drawn from the
  // platform's cryptographic generator, empty if the generator fails.
  std::string MakeRandomText();

 private:
  int Encrypt(const std::string& sourcePath, PendingFile& target, const std::string& recipientList,
              const ChunkHook& onChunk);
  int Fail(int code, const char* text);
  // Null when the stores hold no certificate of the serial text ("MY" alone with myStoreOnly).
  const Certificate* FindCertificate(const std::string& serialText, bool myStoreOnly);

  char m_failureText[256];
  const Lookups m_lookups;
  std::map<std::pair<std::string, bool>, std::optional<Certificate>> m_found;  // by upper-case serial
};

}  // namespace qz
