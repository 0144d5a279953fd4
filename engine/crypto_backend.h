// What each platform supplies to the one encryptor and decryptor, as the operations they need:
// derive a session key from a text, wrap it for a certificate, unwrap a key block with the
// private key of one of the user's certificates, encrypt or decrypt a chunk. An operation that
// fails says which of its steps failed, because each step has its own failure code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "certificate.h"

namespace qz {

// The steps that can fail, in the order the operations take them.
enum class CryptoStep {
  kNone,
  // Deriving a session key.
  kAcquireProvider,
  kCreateDigest,
  kHashText,
  kDeriveKey,
  // Wrapping it for a certificate.
  kImportPublicKey,
  kKeyBlockLength,
  kExportKey,
  // Unwrapping a key block.
  kAcquirePrivateKey,
  kGetUserKey,
  kImportKey,
};

// A 3DES-CBC session key with a zero initial vector and PKCS #5 padding. Its chaining state
// carries over from chunk to chunk, so a file is one CBC chain whatever the chunk sizes.
class SessionKey {
 public:
  struct Native;  // the platform's key, with whatever it needs to live
  explicit SessionKey(std::unique_ptr<Native> native);
  SessionKey(SessionKey&&) noexcept;
  SessionKey& operator=(SessionKey&&) noexcept;
  ~SessionKey();
  Native& native() const { return *native_; }

  // Encrypts len bytes in place; a final chunk grows by its padding (1 to 8 bytes), so the
  // buffer must hold len + 8 bytes. A non-final len must be a multiple of 8.
  bool EncryptChunk(std::uint8_t* data, std::size_t& len, bool final);
  // Decrypts len bytes in place (a multiple of 8); the final chunk loses its padding, which
  // is checked.
  bool DecryptChunk(std::uint8_t* data, std::size_t& len, bool final);

 private:
  std::unique_ptr<Native> native_;
};

// A session key, or the step that kept it from being made.
struct SessionKeyResult {
  std::optional<SessionKey> key;
  CryptoStep failed = CryptoStep::kNone;
};

// The key CryptDeriveKey(CALG_3DES) makes from the MD5 digest of the text, in the encrypting
// side's provider (PROV_RSA_FULL with the container "QZ_vbn" on Windows).
SessionKeyResult DeriveSessionKey(const std::string& text);

// The session key wrapped under the RSA key of the certificate (PKCS #1 v1.5 type 2), laid out
// as a SIMPLEBLOB. kNone on success, else kImportPublicKey, kKeyBlockLength or kExportKey.
CryptoStep WrapSessionKey(const SessionKey& key, const Certificate& recipient, std::vector<std::uint8_t>& keyBlock);

// The session key of a key block, unwrapped with the private key of one of the user's own
// certificates; a private key that is not the certificate's is refused.
SessionKeyResult UnwrapSessionKey(const Certificate& own, const std::vector<std::uint8_t>& keyBlock);

// The platform's cryptographic random generator.
bool RandomBytes(std::uint8_t* out, std::size_t len);

}  // namespace qz
