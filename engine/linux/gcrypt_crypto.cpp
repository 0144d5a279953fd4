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

class GcryptSessionKey : public SessionKey {
 public:
  static std::unique_ptr<GcryptSessionKey> Create(const TripleDesKey& key) {
    unique_cipher cipher;
    if (gcry_cipher_open(cipher.put(), GCRY_CIPHER_3DES, GCRY_CIPHER_MODE_CBC, 0)) return nullptr;
    // Windows accepts the rare weak 3DES keys; so must a reader of its files.
    gcry_cipher_ctl(cipher.get(), GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
    const std::uint8_t zeroIv[kDesBlock] = {};
    gcry_error_t err = gcry_cipher_setkey(cipher.get(), key.data(), key.size());
    if ((err && gcry_err_code(err) != GPG_ERR_WEAK_KEY) || gcry_cipher_setiv(cipher.get(), zeroIv, sizeof zeroIv))
      return nullptr;
    return std::unique_ptr<GcryptSessionKey>(new GcryptSessionKey(key, std::move(cipher)));
  }

  bool EncryptChunk(std::uint8_t* data, std::size_t& len, bool final) override {
    if (final) {
      const std::size_t pad = kDesBlock - len % kDesBlock;
      std::memset(data + len, int(pad), pad);
      len += pad;
    } else if (len % kDesBlock != 0) {
      return false;
    }
    return gcry_cipher_encrypt(cipher_.get(), data, len, nullptr, 0) == 0;
  }

  bool DecryptChunk(std::uint8_t* data, std::size_t& len, bool final) override {
    if (len % kDesBlock != 0 || (final && len == 0)) return false;
    if (gcry_cipher_decrypt(cipher_.get(), data, len, nullptr, 0)) return false;
    if (!final) return true;
    const std::uint8_t pad = data[len - 1];
    if (pad == 0 || pad > kDesBlock) return false;
    for (std::size_t i = len - pad; i < len; ++i)
      if (data[i] != pad) return false;
    len -= pad;
    return true;
  }

  const TripleDesKey& key() const { return key_; }

 private:
  GcryptSessionKey(const TripleDesKey& key, unique_cipher cipher) : key_(key), cipher_(std::move(cipher)) {}
  TripleDesKey key_;
  unique_cipher cipher_;
};

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

class OpensslRecipientKey : public RecipientKey {
 public:
  explicit OpensslRecipientKey(unique_evp_pkey key) : key_(std::move(key)) {}

  bool KeyBlockLength(std::size_t& length) override {
    length = kSimpleBlobHeaderSize + std::size_t(EVP_PKEY_get_size(key_.get()));
    return true;
  }

  bool WrapSessionKey(const SessionKey& sessionKey, std::vector<std::uint8_t>& keyBlock) override {
    const auto& key = static_cast<const GcryptSessionKey&>(sessionKey).key();
    std::vector<std::uint8_t> wrapped;
    if (!RsaPkcs1(key_.get(), true, key.data(), key.size(), wrapped)) return false;
    keyBlock = MakeSimpleBlob(wrapped);
    return true;
  }

 private:
  unique_evp_pkey key_;
};

class GcryptProvider : public EncryptionProvider {
 public:
  bool CreateDigest() override { return gcry_md_open(digest_.put(), GCRY_MD_MD5, 0) == 0; }

  bool HashText(const std::string& text) override {
    if (!digest_) return false;
    gcry_md_write(digest_.get(), text.data(), text.size());
    return true;
  }

  std::unique_ptr<SessionKey> DeriveSessionKey() override {
    if (!digest_) return nullptr;
    const unsigned char* digest = gcry_md_read(digest_.get(), GCRY_MD_MD5);
    if (!digest) return nullptr;
    return GcryptSessionKey::Create(DeriveTripleDesKey(digest));
  }

  std::unique_ptr<RecipientKey> ImportPublicKey(const Certificate& cert) override {
    unique_evp_pkey key(X509_get_pubkey(cert.native().x509.get()));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) return nullptr;
    return std::make_unique<OpensslRecipientKey>(std::move(key));
  }

 private:
  unique_md digest_;
};

class OpensslUserKey : public UserKey {
 public:
  explicit OpensslUserKey(unique_evp_pkey key) : key_(std::move(key)) {}

  std::unique_ptr<SessionKey> UnwrapSessionKey(const std::vector<std::uint8_t>& keyBlock) override {
    std::vector<std::uint8_t> wrapped, plain;
    if (!ParseSimpleBlob(keyBlock, wrapped) || wrapped.size() != std::size_t(EVP_PKEY_get_size(key_.get())) ||
        !RsaPkcs1(key_.get(), false, wrapped.data(), wrapped.size(), plain) || plain.size() != kTripleDesKeyLength)
      return nullptr;
    TripleDesKey key{};
    std::copy(plain.begin(), plain.end(), key.begin());
    return GcryptSessionKey::Create(key);
  }

 private:
  unique_evp_pkey key_;
};

class OpensslPrivateKeyProvider : public PrivateKeyProvider {
 public:
  explicit OpensslPrivateKeyProvider(unique_evp_pkey key) : key_(std::move(key)) {}

  std::unique_ptr<UserKey> GetUserKey() override {
    if (EVP_PKEY_get_base_id(key_.get()) != EVP_PKEY_RSA) return nullptr;
    return std::make_unique<OpensslUserKey>(std::move(key_));
  }

 private:
  unique_evp_pkey key_;
};

}  // namespace

std::unique_ptr<EncryptionProvider> AcquireEncryptionProvider() {
  if (!InitGcrypt()) return nullptr;
  return std::make_unique<GcryptProvider>();
}

std::unique_ptr<PrivateKeyProvider> AcquireCertificatePrivateKey(const Certificate& cert) {
  // Like CRYPT_ACQUIRE_COMPARE_KEY_FLAG: a key that does not match the certificate is refused.
  if (!InitGcrypt()) return nullptr;
  unique_evp_pkey key = PrivateKeyOf(cert);
  if (!key || X509_check_private_key(cert.native().x509.get(), key.get()) != 1) return nullptr;
  return std::make_unique<OpensslPrivateKeyProvider>(std::move(key));
}

bool RandomBytes(std::uint8_t* out, std::size_t len) { return RAND_bytes(out, int(len)) == 1; }

}  // namespace qz
