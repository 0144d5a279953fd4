// What each platform supplies to the one encryptor and decryptor: the provider that derives
// 3DES session keys, the public-key wrapping into SIMPLEBLOB key blocks, the private-key
// unwrapping and the random generator. Every step reports success separately, because each
// failing step has its own failure code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "certificate.h"

namespace qz {

// A 3DES-CBC session key with a zero initial vector and PKCS #5 padding. Its chaining state
// carries over from chunk to chunk, so a file is one CBC chain whatever the chunk sizes.
class SessionKey {
 public:
  virtual ~SessionKey() = default;
  // Encrypts len bytes in place; a final chunk grows by its padding (1 to 8 bytes), so the
  // buffer must hold len + 8 bytes. A non-final len must be a multiple of 8.
  virtual bool EncryptChunk(std::uint8_t* data, std::size_t& len, bool final) = 0;
  // Decrypts len bytes in place (a multiple of 8); the final chunk loses its padding, which
  // is checked.
  virtual bool DecryptChunk(std::uint8_t* data, std::size_t& len, bool final) = 0;
};

// A recipient's RSA public key, imported from its certificate.
class RecipientKey {
 public:
  virtual ~RecipientKey() = default;
  // Length of the SIMPLEBLOB that wraps a session key for this recipient.
  virtual bool KeyBlockLength(std::size_t& length) = 0;
  // Wraps the session key: RSA PKCS #1 v1.5 type 2, laid out as a SIMPLEBLOB.
  virtual bool WrapSessionKey(const SessionKey& key, std::vector<std::uint8_t>& keyBlock) = 0;
};

// The encrypting side's provider (PROV_RSA_FULL with the container "QZ_vbn" on Windows).
class EncryptionProvider {
 public:
  virtual ~EncryptionProvider() = default;
  virtual bool CreateDigest() = 0;
  virtual bool HashText(const std::string& text) = 0;
  // The session key derived from the digest as CryptDeriveKey(CALG_3DES) does.
  virtual std::unique_ptr<SessionKey> DeriveSessionKey() = 0;
  virtual std::unique_ptr<RecipientKey> ImportPublicKey(const Certificate& cert) = 0;
};
std::unique_ptr<EncryptionProvider> AcquireEncryptionProvider();

// The key exchange key of one of the user's own certificates.
class UserKey {
 public:
  virtual ~UserKey() = default;
  virtual std::unique_ptr<SessionKey> UnwrapSessionKey(const std::vector<std::uint8_t>& keyBlock) = 0;
};

// The provider that holds a certificate's private key, checked against its public key.
class PrivateKeyProvider {
 public:
  virtual ~PrivateKeyProvider() = default;
  virtual std::unique_ptr<UserKey> GetUserKey() = 0;
};
std::unique_ptr<PrivateKeyProvider> AcquireCertificatePrivateKey(const Certificate& cert);

// The platform's cryptographic random generator.
bool RandomBytes(std::uint8_t* out, std::size_t len);

}  // namespace qz
