// Importing certificate files into the user's stores. A private key always goes into a key
// container of our own, named after the certificate, as the key exchange key of the enhanced
// provider: that is the one form in which Wine's CryptAcquireCertificatePrivateKey and
// CryptGetUserKey find it again (its PKCS#12 import records a key specification of 3).
#include <cstring>
#include <string>

#include "capi_handles.h"
#include "cert_store.h"
#include "file_io.h"

namespace qz {
namespace {

constexpr wchar_t kContainerPrefix[] = L"ZaDizuvOzar-";

// Key material, wiped when it goes.
struct SecretBytes {
  std::vector<BYTE> bytes;
  SecretBytes() = default;
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  SecretBytes(SecretBytes&&) = default;
  SecretBytes& operator=(SecretBytes&&) = default;
  ~SecretBytes() {
    if (!bytes.empty()) SecureZeroMemory(bytes.data(), bytes.size());
  }
};

// A certificate read from a file, with its private key as a PRIVATEKEYBLOB when it has one.
struct CertificateFile {
  unique_cert_context cert;
  SecretBytes privateKey;
  std::string error;
};

CertificateFile FileError(std::string error) {
  CertificateFile file;
  file.error = std::move(error);
  return file;
}

ImportResult Failure(std::string error) {
  ImportResult result;
  result.error = std::move(error);
  return result;
}

std::wstring Widen(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(std::size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

// Decodes a structure of the given type into memory the decoder allocates; empty on failure.
unique_local Decode(LPCSTR type, const BYTE* der, std::size_t len) {
  void* decoded = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, type, der, DWORD(len), CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
    return unique_local();
  return unique_local(decoded);
}

// ---- PEM ----

struct PemBlock {
  std::string label;
  std::string body;  // base64, possibly with encryption headers
};

std::vector<PemBlock> ReadPemBlocks(const std::string& text) {
  static const std::string kBegin = "-----BEGIN ", kDashes = "-----";
  std::vector<PemBlock> blocks;
  for (std::size_t pos = text.find(kBegin); pos != std::string::npos; pos = text.find(kBegin, pos)) {
    const std::size_t labelStart = pos + kBegin.size();
    const std::size_t labelEnd = text.find(kDashes, labelStart);
    if (labelEnd == std::string::npos) break;
    PemBlock block{text.substr(labelStart, labelEnd - labelStart), {}};
    const std::size_t bodyStart = labelEnd + kDashes.size();
    const std::size_t end = text.find("-----END " + block.label + kDashes, bodyStart);
    if (end == std::string::npos) break;
    block.body = text.substr(bodyStart, end - bodyStart);
    blocks.push_back(std::move(block));
    pos = end + kDashes.size();
  }
  return blocks;
}

bool Base64Decode(const std::string& body, std::vector<BYTE>& der) {
  DWORD size = 0;
  if (!CryptStringToBinaryA(body.data(), DWORD(body.size()), CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr))
    return false;
  der.resize(size);
  return CryptStringToBinaryA(body.data(), DWORD(body.size()), CRYPT_STRING_BASE64, der.data(), &size, nullptr,
                              nullptr) != FALSE;
}

// An RSAPrivateKey (PKCS #1) as a PRIVATEKEYBLOB for the key exchange slot.
bool RsaPrivateKeyBlob(const BYTE* der, std::size_t len, SecretBytes& blob) {
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, PKCS_RSA_PRIVATE_KEY, der, DWORD(len), 0, nullptr, nullptr, &size))
    return false;
  blob.bytes.resize(size);
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, PKCS_RSA_PRIVATE_KEY, der, DWORD(len), 0, nullptr, blob.bytes.data(),
                           &size))
    return false;
  blob.bytes.resize(size);
  return true;
}

// PrivateKeyInfo (PKCS #8): SEQUENCE { version, AlgorithmIdentifier, OCTET STRING key }. Wine
// has no decoder for PKCS_PRIVATE_KEY_INFO, so it is taken apart as a sequence.
bool UnwrapPrivateKeyInfo(const std::vector<BYTE>& der, SecretBytes& blob) {
  static const BYTE kRsaEncryptionOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
  unique_local outer = Decode(X509_SEQUENCE_OF_ANY, der.data(), der.size());
  const auto* fields = static_cast<const CRYPT_SEQUENCE_OF_ANY*>(outer.get());
  if (!fields || fields->cValue < 3) return false;
  unique_local algorithm = Decode(X509_SEQUENCE_OF_ANY, fields->rgValue[1].pbData, fields->rgValue[1].cbData);
  const auto* algorithmFields = static_cast<const CRYPT_SEQUENCE_OF_ANY*>(algorithm.get());
  if (!algorithmFields || algorithmFields->cValue < 1 ||
      algorithmFields->rgValue[0].cbData != sizeof kRsaEncryptionOid ||
      std::memcmp(algorithmFields->rgValue[0].pbData, kRsaEncryptionOid, sizeof kRsaEncryptionOid) != 0)
    return false;
  unique_local key = Decode(X509_OCTET_STRING, fields->rgValue[2].pbData, fields->rgValue[2].cbData);
  const auto* keyBytes = static_cast<const CRYPT_DATA_BLOB*>(key.get());
  return keyBytes && RsaPrivateKeyBlob(keyBytes->pbData, keyBytes->cbData, blob);
}

std::string ReadPemKey(const PemBlock& block, SecretBytes& blob) {
  if (block.label == "ENCRYPTED PRIVATE KEY" || block.body.find("Proc-Type: 4,ENCRYPTED") != std::string::npos)
    return "the private key is encrypted: give it unencrypted or as a PKCS#12 file";
  SecretBytes der;
  if (!Base64Decode(block.body, der.bytes)) return "the private key is damaged";
  const bool read = block.label == "PRIVATE KEY" ? UnwrapPrivateKeyInfo(der.bytes, blob)
                                                 : RsaPrivateKeyBlob(der.bytes.data(), der.bytes.size(), blob);
  return read ? std::string() : "the private key is not an RSA key or is damaged";
}

bool IsPemKeyLabel(const std::string& label) {
  return label == "PRIVATE KEY" || label == "RSA PRIVATE KEY" || label == "ENCRYPTED PRIVATE KEY";
}

CertificateFile ReadPem(const std::string& text) {
  CertificateFile file;
  for (const PemBlock& block : ReadPemBlocks(text)) {
    if (block.label == "CERTIFICATE" && !file.cert) {
      std::vector<BYTE> der;
      if (!Base64Decode(block.body, der)) return FileError("the certificate is damaged");
      file.cert.reset(CertCreateCertificateContext(kCertEncoding, der.data(), DWORD(der.size())));
      if (!file.cert) return FileError("the certificate is damaged");
    } else if (IsPemKeyLabel(block.label) && file.privateKey.bytes.empty()) {
      file.error = ReadPemKey(block, file.privateKey);
      if (!file.error.empty()) return file;
    }
  }
  if (!file.cert) return FileError("the file holds no certificate");
  return file;
}

// ---- PKCS #12 ----

bool GetKeyProvInfo(PCCERT_CONTEXT cert, std::vector<BYTE>& info) {
  DWORD size = 0;
  if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) return false;
  info.resize(size);
  return CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, info.data(), &size) != FALSE;
}

bool ExportPrivateKey(HCRYPTPROV provider, SecretBytes& blob) {
  // Wine files the key as the key exchange key whatever key specification it records.
  for (DWORD keySpec : {DWORD(AT_KEYEXCHANGE), DWORD(AT_SIGNATURE)}) {
    unique_key key;
    if (!CryptGetUserKey(provider, keySpec, key.put())) continue;
    DWORD size = 0;
    if (!CryptExportKey(key.get(), 0, PRIVATEKEYBLOB, 0, nullptr, &size)) return false;
    blob.bytes.resize(size);
    if (!CryptExportKey(key.get(), 0, PRIVATEKEYBLOB, 0, blob.bytes.data(), &size)) return false;
    blob.bytes.resize(size);
    return true;
  }
  return false;
}

// Takes the key out of the container the PKCS#12 import put it in, and deletes that container:
// the key lives on only in ours.
bool TakePfxPrivateKey(const CRYPT_KEY_PROV_INFO& info, SecretBytes& blob) {
  bool exported = false;
  {
    unique_provider provider;
    if (CryptAcquireContextW(provider.put(), info.pwszContainerName, info.pwszProvName, info.dwProvType,
                             info.dwFlags & CRYPT_MACHINE_KEYSET))
      exported = ExportPrivateKey(provider.get(), blob);
  }
  HCRYPTPROV deleted = 0;
  CryptAcquireContextW(&deleted, info.pwszContainerName, info.pwszProvName, info.dwProvType,
                       (info.dwFlags & CRYPT_MACHINE_KEYSET) | CRYPT_DELETEKEYSET);
  return exported;
}

// A file made with an empty password may have been made with none at all.
HCERTSTORE ImportPfxStore(CRYPT_DATA_BLOB& blob, const std::wstring& password) {
  HCERTSTORE store = PFXImportCertStore(&blob, password.c_str(), CRYPT_EXPORTABLE);
  if (!store && password.empty()) store = PFXImportCertStore(&blob, nullptr, CRYPT_EXPORTABLE);
  return store;
}

// The certificate that carries the private key, else the first one, which then has none.
CertificateFile ReadPfx(std::vector<BYTE>& bytes, const std::string& password) {
  CRYPT_DATA_BLOB blob{DWORD(bytes.size()), bytes.data()};
  unique_store store(ImportPfxStore(blob, Widen(password)));
  if (!store) return FileError("the password is wrong or the PKCS#12 file is damaged");
  CertificateFile file;
  for (PCCERT_CONTEXT context = nullptr; (context = CertEnumCertificatesInStore(store.get(), context));) {
    std::vector<BYTE> info;
    if (!GetKeyProvInfo(context, info)) {
      if (!file.cert) file.cert.reset(CertDuplicateCertificateContext(context));
      continue;
    }
    file.cert.reset(CertDuplicateCertificateContext(context));
    CertFreeCertificateContext(context);  // the enumeration ends here
    if (!TakePfxPrivateKey(*reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(info.data()), file.privateKey))
      return FileError("the private key of the PKCS#12 file cannot be read");
    return file;
  }
  if (!file.cert) return FileError("the PKCS#12 file holds no certificate");
  return file;
}

CertificateFile ReadCertificateFile(std::vector<BYTE>& bytes, const std::string& password) {
  CRYPT_DATA_BLOB blob{DWORD(bytes.size()), bytes.data()};
  if (PFXIsPFXBlob(&blob)) return ReadPfx(bytes, password);
  const std::string text(bytes.begin(), bytes.end());
  if (text.find("-----BEGIN ") != std::string::npos) return ReadPem(text);
  CertificateFile file;
  file.cert.reset(CertCreateCertificateContext(kCertEncoding, bytes.data(), DWORD(bytes.size())));
  if (!file.cert) return FileError("not a certificate file (PKCS#12, PEM or DER)");
  return file;
}

// ---- the stores ----

// Named after the certificate's SHA-1 hash: a re-import finds and renews its own container.
std::wstring ContainerName(PCCERT_CONTEXT cert) {
  BYTE hash[20];
  DWORD size = sizeof hash;
  std::wstring name = kContainerPrefix;
  if (!CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &size)) return std::wstring();
  for (DWORD i = 0; i < size; ++i) {
    wchar_t digits[3];
    swprintf(digits, 3, L"%02X", hash[i]);
    name += digits;
  }
  return name;
}

bool ImportPrivateKey(HCRYPTPROV provider, const SecretBytes& privateKey, unique_key& key) {
  return CryptImportKey(provider, privateKey.bytes.data(), DWORD(privateKey.bytes.size()), 0, 0, key.put()) != FALSE;
}

// Tried in a provider of its own, so that a key of another certificate changes no container.
bool KeyBelongsTo(PCCERT_CONTEXT cert, const SecretBytes& privateKey) {
  unique_provider provider;
  unique_key key;
  return CryptAcquireContextW(provider.put(), nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
         ImportPrivateKey(provider.get(), privateKey, key) && HoldsKeyOf(provider.get(), AT_KEYEXCHANGE, cert);
}

std::string StorePrivateKey(PCCERT_CONTEXT cert, SecretBytes& privateKey) {
  const std::wstring container = ContainerName(cert);
  if (container.empty() || privateKey.bytes.size() < sizeof(BLOBHEADER)) return "the private key cannot be stored";
  // Filed as the key exchange key, whatever slot it came from.
  reinterpret_cast<BLOBHEADER*>(privateKey.bytes.data())->aiKeyAlg = CALG_RSA_KEYX;
  if (!KeyBelongsTo(cert, privateKey)) return "the private key does not belong to the certificate";
  HCRYPTPROV stale = 0;
  CryptAcquireContextW(&stale, container.c_str(), MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
  unique_provider provider;
  if (!CryptAcquireContextW(provider.put(), container.c_str(), MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_NEWKEYSET))
    return "a key container cannot be created";
  unique_key key;
  if (!ImportPrivateKey(provider.get(), privateKey, key)) return "the private key cannot be stored";
  CRYPT_KEY_PROV_INFO info{};
  info.pwszContainerName = const_cast<wchar_t*>(container.c_str());
  info.pwszProvName = const_cast<wchar_t*>(MS_ENHANCED_PROV_W);
  info.dwProvType = PROV_RSA_FULL;
  info.dwKeySpec = AT_KEYEXCHANGE;
  if (!CertSetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, 0, &info))
    return "the private key cannot be linked to the certificate";
  return std::string();
}

bool AddToStore(Store store, PCCERT_CONTEXT cert) {
  unique_store handle = OpenSystemStore(store);
  return handle && CertAddCertificateContextToStore(handle.get(), cert, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

}  // namespace

ImportResult ImportCertificateFile(const std::string& path, const std::string& password) {
  std::vector<BYTE> bytes;
  if (!ReadWholeFile(path, kLargestCertificateFile, bytes)) return Failure("the file cannot be read");
  CertificateFile file = ReadCertificateFile(bytes, password);
  if (!file.error.empty()) return Failure(file.error);

  ImportResult result;
  result.store = file.privateKey.bytes.empty() ? Store::AddressBook : Store::My;
  if (result.store == Store::My) {
    const std::string error = StorePrivateKey(file.cert.get(), file.privateKey);
    if (!error.empty()) return Failure(error);
  }
  if (!AddToStore(result.store, file.cert.get()))
    return Failure(std::string("the certificate cannot be added to ") + StoreName(result.store));
  result.serialText = CertSerialToText(MakeCertificate(file.cert.release()));
  result.ok = true;
  return result;
}

}  // namespace qz
