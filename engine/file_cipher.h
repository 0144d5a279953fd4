// The engine object of the folder runs: encrypts one plain file for a recipient list into the
// encrypted file format, and decrypts one file with the private key of one of the user's
// certificates. Results are 0 or a failure code; the failure text stays until the next failure.
#pragma once

#include <string>

#include "failure.h"

namespace qz {

class CFileCipher {
 public:
  CFileCipher();

  // recipientList: each serial text followed by "&", written to the file unchanged.
  int EncryptOneFile(std::string sourcePath, std::string targetPath, std::string recipientList);
  // serialText names the certificate in "MY" whose private key opens the file (any case).
  int DecryptOneFile(std::string encryptedPath, std::string plainPath, std::string serialText);

  const char* ErrorText() const { return m_failureText; }

  // The random text whose MD5 digest the session key is derived from: letters drawn from the
  // platform's cryptographic generator, empty if the generator fails.
  std::string MakeRandomText();

 private:
  int Encrypt(const std::string& sourcePath, const std::string& targetPath, const std::string& recipientList);
  int Fail(int code, const char* text);

  char m_failureText[256];
};

}  // namespace qz
