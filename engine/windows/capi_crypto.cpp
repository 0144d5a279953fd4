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

bool FitsDword(std::size_t n) { return n <= std::numeric_limits<DWORD>::max() - kPaddingRoom; }

SessionKeyResult Failed(CryptoStep step) { return {std::nullopt, step}; }

bool ExportSimpleBlob(HCRYPTKEY sessionKey, HCRYPTKEY recipientKey, BYTE* out, DWORD& length) {
  return CryptExportKey(sessionKey, recipientKey, SIMPLEBLOB, 0, out, &length) != FALSE;
}

}  // namespace

// A key with the provider it was made in, which it keeps alive until the key is destroyed.
struct SessionKey::Native {
  SharedProvider provider;  // declared first: released after the key
  unique_key key;
};

namespace {

SessionKeyResult MakeSessionKey(SharedProvider provider, HCRYPTKEY key) {
  return {SessionKey(std::make_unique<SessionKey::Native>(SessionKey::Native{std::move(provider), unique_key(key)})),
          CryptoStep::kNone};
}

// The private key's provider of the certificate, lent by its context or the caller's own.
SharedProvider AcquirePrivateKeyProvider(const Certificate& cert, DWORD& keySpec) {
  HCRYPTPROV provider = 0;
  BOOL callerFrees = FALSE;
  // The flag makes the call fail when the provider's key pair is not the certificate's.
  if (!CryptAcquireCertificatePrivateKey(CertContext(cert), CRYPT_ACQUIRE_COMPARE_KEY_FLAG, nullptr, &provider,
                                         &keySpec, &callerFrees))
    return nullptr;
  auto shared = callerFrees ? std::make_shared<Provider>(provider)
                            : std::make_shared<Provider>(provider, CertContext(cert));
  // Wine ignores the flag, so the comparison is made here as well.
  if (!HoldsKeyOf(shared->get(), keySpec, CertContext(cert))) return nullptr;
  return shared;
}

}  // namespace

SessionKey::SessionKey(std::unique_ptr<Native> native) : native_(std::move(native)) {}
SessionKey::SessionKey(SessionKey&&) noexcept = default;
SessionKey& SessionKey::operator=(SessionKey&&) noexcept = default;
SessionKey::~SessionKey() = default;

bool SessionKey::EncryptChunk(std::uint8_t* data, std::size_t& len, bool final) {
  if (!FitsDword(len)) return false;
  DWORD n = DWORD(len);
  const DWORD capacity = final ? n + kPaddingRoom : n;
  if (!CryptEncrypt(native_->key.get(), 0, final, 0, data, &n, capacity)) return false;
  len = n;
  return true;
}

bool SessionKey::DecryptChunk(std::uint8_t* data, std::size_t& len, bool final) {
  if (!FitsDword(len)) return false;
  DWORD n = DWORD(len);
  if (!CryptDecrypt(native_->key.get(), 0, final, 0, data, &n)) return false;
  len = n;
  return true;
}

bool HoldsKeyOf(HCRYPTPROV provider, DWORD keySpec, PCCERT_CONTEXT cert) {
  DWORD size = 0;
  if (!CryptExportPublicKeyInfo(provider, keySpec, kCertEncoding, nullptr, &size)) return false;
  std::vector<BYTE> buffer(size);
  auto* publicKey = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(buffer.data());
  return CryptExportPublicKeyInfo(provider, keySpec, kCertEncoding, publicKey, &size) &&
         CertComparePublicKeyInfo(kCertEncoding, publicKey, &cert->pCertInfo->SubjectPublicKeyInfo);
}

SessionKeyResult DeriveSessionKey(const std::string& text) {
  HCRYPTPROV handle = 0;
  if (!CryptAcquireContextA(&handle, kContainer, nullptr, PROV_RSA_FULL, 0) &&
      !CryptAcquireContextA(&handle, kContainer, nullptr, PROV_RSA_FULL, CRYPT_NEWKEYSET))
    return Failed(CryptoStep::kAcquireProvider);
  auto provider = std::make_shared<Provider>(handle);
  unique_hash digest;
  if (!CryptCreateHash(provider->get(), CALG_MD5, 0, 0, digest.put())) return Failed(CryptoStep::kCreateDigest);
  if (!CryptHashData(digest.get(), reinterpret_cast<const BYTE*>(text.data()), DWORD(text.size()), 0))
    return Failed(CryptoStep::kHashText);
  HCRYPTKEY key = 0;
  if (!CryptDeriveKey(provider->get(), CALG_3DES, digest.get(), CRYPT_EXPORTABLE, &key))
    return Failed(CryptoStep::kDeriveKey);
  return MakeSessionKey(std::move(provider), key);
}

CryptoStep WrapSessionKey(const SessionKey& key, const Certificate& recipient, std::vector<std::uint8_t>& keyBlock) {
  // The recipient's public key goes into the provider that holds the session key.
  unique_key publicKey;
  if (!CryptImportPublicKeyInfo(key.native().provider->get(), kCertEncoding,
                                &CertContext(recipient)->pCertInfo->SubjectPublicKeyInfo, publicKey.put()))
    return CryptoStep::kImportPublicKey;
  DWORD length = 0;
  if (!ExportSimpleBlob(key.native().key.get(), publicKey.get(), nullptr, length)) return CryptoStep::kKeyBlockLength;
  keyBlock.resize(length);
  DWORD written = length;
  if (!ExportSimpleBlob(key.native().key.get(), publicKey.get(), keyBlock.data(), written) || written != length)
    return CryptoStep::kExportKey;
  return CryptoStep::kNone;
}

SessionKeyResult UnwrapSessionKey(const Certificate& own, const std::vector<std::uint8_t>& keyBlock) {
  DWORD keySpec = 0;
  SharedProvider provider = AcquirePrivateKeyProvider(own, keySpec);
  if (!provider) return Failed(CryptoStep::kAcquirePrivateKey);
  unique_key userKey;
  if (!CryptGetUserKey(provider->get(), keySpec, userKey.put())) return Failed(CryptoStep::kGetUserKey);
  HCRYPTKEY key = 0;
  if (!CryptImportKey(provider->get(), keyBlock.data(), DWORD(keyBlock.size()), userKey.get(), 0, &key))
    return Failed(CryptoStep::kImportKey);
  SessionKeyResult unwrapped = MakeSessionKey(std::move(provider), key);
  // A block of another cipher would import too, and then decrypt to garbage.
  ALG_ID algorithm = 0;
  DWORD size = sizeof algorithm;
  if (!CryptGetKeyParam(key, KP_ALGID, reinterpret_cast<BYTE*>(&algorithm), &size, 0) || algorithm != CALG_3DES)
    return Failed(CryptoStep::kImportKey);
  return unwrapped;
}

bool RandomBytes(std::uint8_t* out, std::size_t len) {
  HCRYPTPROV handle = 0;
  if (!CryptAcquireContextA(&handle, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
  unique_provider provider(handle);
  return len <= std::numeric_limits<DWORD>::max() && CryptGenRandom(provider.get(), DWORD(len), out);
}

}  // namespace qz
