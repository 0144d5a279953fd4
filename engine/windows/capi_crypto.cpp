// The cryptographic steps of the encryptor and decryptor in the platform's provider.
#include <limits>

#include "capi_handles.h"
#include "crypto_backend.h"

namespace qz {
namespace {

constexpr char kContainer[] = "QZ_vbn";
constexpr DWORD kPaddingRoom = 8;  // a final chunk grows by up to one 3DES block

// A provider handle shared by the keys made in it. A provider that a certificate context lends
// is not the caller's to release: the context is kept alive in its place.
class Provider {
 public:
  explicit Provider(HCRYPTPROV owned) : handle_(owned), owned_(owned) {}
  Provider(HCRYPTPROV lent, PCCERT_CONTEXT lender)
      : handle_(lent), lender_(CertDuplicateCertificateContext(lender)) {}
  HCRYPTPROV get() const { return handle_; }

 private:
  HCRYPTPROV handle_;
  unique_provider owned_;
  unique_cert_context lender_;
};
using SharedProvider = std::shared_ptr<const Provider>;

// A key with the provider it was made in, which it keeps alive until the key is destroyed.
struct ProviderKey {
  ProviderKey(SharedProvider p, HCRYPTKEY k) : provider(std::move(p)), key(k) {}
  SharedProvider provider;  // declared first: released after the key
  unique_key key;
};
using SharedKey = std::shared_ptr<const ProviderKey>;

bool FitsDword(std::size_t n) { return n <= std::numeric_limits<DWORD>::max() - kPaddingRoom; }

class CapiSessionKey : public SessionKey {
 public:
  explicit CapiSessionKey(SharedKey key) : key_(std::move(key)) {}
  HCRYPTKEY get() const { return key_->key.get(); }

  bool EncryptChunk(std::uint8_t* data, std::size_t& len, bool final) override {
    if (!FitsDword(len)) return false;
    DWORD n = DWORD(len);
    const DWORD capacity = final ? n + kPaddingRoom : n;
    if (!CryptEncrypt(get(), 0, final, 0, data, &n, capacity)) return false;
    len = n;
    return true;
  }

  bool DecryptChunk(std::uint8_t* data, std::size_t& len, bool final) override {
    if (!FitsDword(len)) return false;
    DWORD n = DWORD(len);
    if (!CryptDecrypt(get(), 0, final, 0, data, &n)) return false;
    len = n;
    return true;
  }

 private:
  SharedKey key_;
};

bool ExportSimpleBlob(HCRYPTKEY sessionKey, HCRYPTKEY recipientKey, BYTE* out, DWORD& length) {
  return CryptExportKey(sessionKey, recipientKey, SIMPLEBLOB, 0, out, &length) != FALSE;
}

class CapiRecipientKey : public RecipientKey {
 public:
  CapiRecipientKey(ProviderKey key, SharedKey sessionKey) : key_(std::move(key)), sessionKey_(std::move(sessionKey)) {}

  bool KeyBlockLength(std::size_t& length) override {
    DWORD n = 0;
    if (!sessionKey_ || !ExportSimpleBlob(sessionKey_->key.get(), key_.key.get(), nullptr, n)) return false;
    length = n;
    return true;
  }

  bool WrapSessionKey(const SessionKey& key, std::vector<std::uint8_t>& keyBlock) override {
    const auto* sessionKey = dynamic_cast<const CapiSessionKey*>(&key);
    DWORD n = 0;
    if (!sessionKey || !ExportSimpleBlob(sessionKey->get(), key_.key.get(), nullptr, n)) return false;
    keyBlock.resize(n);
    if (!ExportSimpleBlob(sessionKey->get(), key_.key.get(), keyBlock.data(), n)) return false;
    keyBlock.resize(n);
    return true;
  }

 private:
  ProviderKey key_;
  SharedKey sessionKey_;  // the one session key of the provider that imported this key
};

class CapiEncryptionProvider : public EncryptionProvider {
 public:
  explicit CapiEncryptionProvider(HCRYPTPROV provider) : provider_(std::make_shared<Provider>(provider)) {}

  bool CreateDigest() override { return CryptCreateHash(provider_->get(), CALG_MD5, 0, 0, digest_.put()); }

  bool HashText(const std::string& text) override {
    return CryptHashData(digest_.get(), reinterpret_cast<const BYTE*>(text.data()), DWORD(text.size()), 0);
  }

  std::unique_ptr<SessionKey> DeriveSessionKey() override {
    HCRYPTKEY key = 0;
    if (!CryptDeriveKey(provider_->get(), CALG_3DES, digest_.get(), CRYPT_EXPORTABLE, &key)) return nullptr;
    sessionKey_ = std::make_shared<ProviderKey>(provider_, key);
    return std::make_unique<CapiSessionKey>(sessionKey_);
  }

  std::unique_ptr<RecipientKey> ImportPublicKey(const Certificate& cert) override {
    HCRYPTKEY key = 0;
    if (!CryptImportPublicKeyInfo(provider_->get(), kCertEncoding, &CertContext(cert)->pCertInfo->SubjectPublicKeyInfo,
                                  &key))
      return nullptr;
    return std::make_unique<CapiRecipientKey>(ProviderKey(provider_, key), sessionKey_);
  }

 private:
  SharedProvider provider_;  // declared first: released after the digest and the key
  unique_hash digest_;
  SharedKey sessionKey_;
};

class CapiUserKey : public UserKey {
 public:
  explicit CapiUserKey(ProviderKey key) : key_(std::move(key)) {}

  std::unique_ptr<SessionKey> UnwrapSessionKey(const std::vector<std::uint8_t>& keyBlock) override {
    HCRYPTKEY key = 0;
    if (!CryptImportKey(key_.provider->get(), keyBlock.data(), DWORD(keyBlock.size()), key_.key.get(), 0, &key))
      return nullptr;
    auto sessionKey = std::make_shared<ProviderKey>(key_.provider, key);
    // A block of another cipher would import too, and then decrypt to garbage.
    ALG_ID algorithm = 0;
    DWORD size = sizeof algorithm;
    if (!CryptGetKeyParam(key, KP_ALGID, reinterpret_cast<BYTE*>(&algorithm), &size, 0) || algorithm != CALG_3DES)
      return nullptr;
    return std::make_unique<CapiSessionKey>(std::move(sessionKey));
  }

 private:
  ProviderKey key_;
};

class CapiPrivateKeyProvider : public PrivateKeyProvider {
 public:
  CapiPrivateKeyProvider(SharedProvider provider, DWORD keySpec) : provider_(std::move(provider)), keySpec_(keySpec) {}

  std::unique_ptr<UserKey> GetUserKey() override {
    HCRYPTKEY key = 0;
    if (!CryptGetUserKey(provider_->get(), keySpec_, &key)) return nullptr;
    return std::make_unique<CapiUserKey>(ProviderKey(provider_, key));
  }

 private:
  SharedProvider provider_;
  DWORD keySpec_;
};

}  // namespace

bool HoldsKeyOf(HCRYPTPROV provider, DWORD keySpec, PCCERT_CONTEXT cert) {
  DWORD size = 0;
  if (!CryptExportPublicKeyInfo(provider, keySpec, kCertEncoding, nullptr, &size)) return false;
  std::vector<BYTE> buffer(size);
  auto* publicKey = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(buffer.data());
  return CryptExportPublicKeyInfo(provider, keySpec, kCertEncoding, publicKey, &size) &&
         CertComparePublicKeyInfo(kCertEncoding, publicKey, &cert->pCertInfo->SubjectPublicKeyInfo);
}

std::unique_ptr<EncryptionProvider> AcquireEncryptionProvider() {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, kContainer, nullptr, PROV_RSA_FULL, 0) &&
      !CryptAcquireContextA(&provider, kContainer, nullptr, PROV_RSA_FULL, CRYPT_NEWKEYSET))
    return nullptr;
  return std::make_unique<CapiEncryptionProvider>(provider);
}

std::unique_ptr<PrivateKeyProvider> AcquireCertificatePrivateKey(const Certificate& cert) {
  HCRYPTPROV provider = 0;
  DWORD keySpec = 0;
  BOOL callerFrees = FALSE;
  // The flag makes the call fail when the provider's key pair is not the certificate's.
  if (!CryptAcquireCertificatePrivateKey(CertContext(cert), CRYPT_ACQUIRE_COMPARE_KEY_FLAG, nullptr, &provider,
                                         &keySpec, &callerFrees))
    return nullptr;
  auto shared = callerFrees ? std::make_shared<Provider>(provider)
                            : std::make_shared<Provider>(provider, CertContext(cert));
  // Wine ignores the flag, so the comparison is made here as well.
  if (!HoldsKeyOf(shared->get(), keySpec, CertContext(cert))) return nullptr;
  return std::make_unique<CapiPrivateKeyProvider>(std::move(shared), keySpec);
}

bool RandomBytes(std::uint8_t* out, std::size_t len) {
  HCRYPTPROV handle = 0;
  if (!CryptAcquireContextA(&handle, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
  unique_provider provider(handle);
  return len <= std::numeric_limits<DWORD>::max() && CryptGenRandom(provider.get(), DWORD(len), out);
}

}  // namespace qz
