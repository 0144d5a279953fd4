// Linux backend of the cryptography: libgcrypt for MD5 and the bulk 3DES-CBC (its assembly
// 3DES is the faster one here), OpenSSL for RSA and the random generator.
#include <gcrypt.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <array>
#include <cstring>

#include "crypto_backend.h"
#include "file_format.h"
#include "openssl_certificate.h"

namespace qz {
namespace {

constexpr std::size_t kDesBlock = 8;
constexpr std::size_t kTripleDesKeyLength = 24;
constexpr std::size_t kMd5Length = 16;
using TripleDesKey = std::array<std::uint8_t, kTripleDesKeyLength>;

bool InitGcrypt() {
  static const bool ready = [] {
    if (!gcry_check_version(GCRYPT_VERSION)) return false;
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  return ready;
}

using unique_md = unique_handle<gcry_md_hd_t, gcry_md_close>;
using unique_cipher = unique_handle<gcry_cipher_hd_t, gcry_cipher_close>;

}  // namespace

struct SessionKey::Native {
  TripleDesKey key;
  unique_cipher cipher;
};

namespace {

std::array<std::uint8_t, kMd5Length> Md5(const std::uint8_t* data, std::size_t len) {
  std::array<std::uint8_t, kMd5Length> digest{};
  gcry_md_hash_buffer(GCRY_MD_MD5, digest.data(), data, len);
  return digest;
}

// CryptDeriveKey for a key longer than the digest: MD5 of the digest XORed into 64 bytes of
// 0x36, then into 64 bytes of 0x5C; the key is the first 24 bytes of the two results.
TripleDesKey DeriveTripleDesKey(const std::uint8_t* digest) {
  std::uint8_t inner[64], outer[64];
  std::memset(inner, 0x36, sizeof inner);
  std::memset(outer, 0x5C, sizeof outer);
  for (std::size_t i = 0; i < kMd5Length; ++i) {
    inner[i] ^= digest[i];
    outer[i] ^= digest[i];
  }
  const auto first = Md5(inner, sizeof inner);
  const auto second = Md5(outer, sizeof outer);
  TripleDesKey key{};
  std::copy(first.begin(), first.end(), key.begin());
  std::copy(second.begin(), second.begin() + (kTripleDesKeyLength - kMd5Length), key.begin() + kMd5Length);
  return key;
}

SessionKeyResult Failed(CryptoStep step) { return {std::nullopt, step}; }

// A CBC cipher with the key and a zero initial vector; weak 3DES keys are accepted, as Windows
// accepts them, so that a reader of its files must too.
SessionKeyResult MakeSessionKey(const TripleDesKey& key, CryptoStep failedStep) {
  unique_cipher cipher;
  if (gcry_cipher_open(cipher.put(), GCRY_CIPHER_3DES, GCRY_CIPHER_MODE_CBC, 0)) return Failed(failedStep);
  gcry_cipher_ctl(cipher.get(), GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
  const std::uint8_t zeroIv[kDesBlock] = {};
  gcry_error_t err = gcry_cipher_setkey(cipher.get(), key.data(), key.size());
  if ((err && gcry_err_code(err) != GPG_ERR_WEAK_KEY) || gcry_cipher_setiv(cipher.get(), zeroIv, sizeof zeroIv))
    return Failed(failedStep);
  return {SessionKey(std::make_unique<SessionKey::Native>(SessionKey::Native{key, std::move(cipher)})), CryptoStep::kNone};
}

// One RSA PKCS #1 v1.5 operation with a key: encryption with a public key, decryption with a
// private one.
bool RsaPkcs1(EVP_PKEY* key, bool encrypt, const std::uint8_t* in, std::size_t inLen, std::vector<std::uint8_t>& out) {
  unique_evp_pkey_ctx ctx(EVP_PKEY_CTX_new(key, nullptr));
  if (!ctx || (encrypt ? EVP_PKEY_encrypt_init(ctx.get()) : EVP_PKEY_decrypt_init(ctx.get())) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0)
    return false;
  std::size_t outLen = 0;
  auto run = encrypt ? EVP_PKEY_encrypt : EVP_PKEY_decrypt;
  if (run(ctx.get(), nullptr, &outLen, in, inLen) <= 0) return false;
  out.resize(outLen);
  if (run(ctx.get(), out.data(), &outLen, in, inLen) <= 0) return false;
  out.resize(outLen);
  return true;
}

}  // namespace

SessionKey::SessionKey(std::unique_ptr<Native> native) : native_(std::move(native)) {}
SessionKey::SessionKey(SessionKey&&) noexcept = default;
SessionKey& SessionKey::operator=(SessionKey&&) noexcept = default;
SessionKey::~SessionKey() = default;

bool SessionKey::EncryptChunk(std::uint8_t* data, std::size_t& len, bool final) {
  if (final) {
    const std::size_t pad = kDesBlock - len % kDesBlock;
    std::memset(data + len, int(pad), pad);
    len += pad;
  } else if (len % kDesBlock != 0) {
    return false;
  }
  return gcry_cipher_encrypt(native_->cipher.get(), data, len, nullptr, 0) == 0;
}

bool SessionKey::DecryptChunk(std::uint8_t* data, std::size_t& len, bool final) {
  if (len % kDesBlock != 0 || (final && len == 0)) return false;
  if (gcry_cipher_decrypt(native_->cipher.get(), data, len, nullptr, 0)) return false;
  if (!final) return true;
  const std::uint8_t pad = data[len - 1];
  if (pad == 0 || pad > kDesBlock) return false;
  for (std::size_t i = len - pad; i < len; ++i)
    if (data[i] != pad) return false;
  len -= pad;
  return true;
}

SessionKeyResult DeriveSessionKey(const std::string& text) {
  if (!InitGcrypt()) return Failed(CryptoStep::kAcquireProvider);
  unique_md digest;
  if (gcry_md_open(digest.put(), GCRY_MD_MD5, 0)) return Failed(CryptoStep::kCreateDigest);
  gcry_md_write(digest.get(), text.data(), text.size());
  const unsigned char* md5 = gcry_md_read(digest.get(), GCRY_MD_MD5);
  if (!md5) return Failed(CryptoStep::kDeriveKey);
  return MakeSessionKey(DeriveTripleDesKey(md5), CryptoStep::kDeriveKey);
}

CryptoStep WrapSessionKey(const SessionKey& key, const Certificate& recipient, std::vector<std::uint8_t>& keyBlock) {
  unique_evp_pkey publicKey(X509_get_pubkey(recipient.native().x509.get()));
  if (!publicKey || EVP_PKEY_get_base_id(publicKey.get()) != EVP_PKEY_RSA) return CryptoStep::kImportPublicKey;
  const auto& sessionKey = key.native().key;
  std::vector<std::uint8_t> wrapped;
  if (!RsaPkcs1(publicKey.get(), true, sessionKey.data(), sessionKey.size(), wrapped) ||
      wrapped.size() != std::size_t(EVP_PKEY_get_size(publicKey.get())))
    return CryptoStep::kExportKey;
  keyBlock = MakeSimpleBlob(wrapped);
  return CryptoStep::kNone;
}

SessionKeyResult UnwrapSessionKey(const Certificate& own, const std::vector<std::uint8_t>& keyBlock) {
  // Like CRYPT_ACQUIRE_COMPARE_KEY_FLAG: a key that does not match the certificate is refused.
  if (!InitGcrypt()) return Failed(CryptoStep::kAcquirePrivateKey);
  unique_evp_pkey privateKey = PrivateKeyOf(own);
  if (!privateKey || X509_check_private_key(own.native().x509.get(), privateKey.get()) != 1)
    return Failed(CryptoStep::kAcquirePrivateKey);
  if (EVP_PKEY_get_base_id(privateKey.get()) != EVP_PKEY_RSA) return Failed(CryptoStep::kGetUserKey);
  std::vector<std::uint8_t> wrapped, plain;
  if (!ParseSimpleBlob(keyBlock, wrapped) || wrapped.size() != std::size_t(EVP_PKEY_get_size(privateKey.get())) ||
      !RsaPkcs1(privateKey.get(), false, wrapped.data(), wrapped.size(), plain) || plain.size() != kTripleDesKeyLength)
    return Failed(CryptoStep::kImportKey);
  TripleDesKey key{};
  std::copy(plain.begin(), plain.end(), key.begin());
  return MakeSessionKey(key, CryptoStep::kImportKey);
}

bool RandomBytes(std::uint8_t* out, std::size_t len) { return RAND_bytes(out, int(len)) == 1; }

}  // namespace qz
