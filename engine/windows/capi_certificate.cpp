// Certificates and the user's system stores through the CryptoAPI certificate functions.
#include <string>

#include "capi_handles.h"
#include "cert_store.h"

namespace qz {
namespace {

std::string NameString(const Certificate& cert, DWORD flags) {
  const DWORD size = CertGetNameStringA(CertContext(cert), CERT_NAME_SIMPLE_DISPLAY_TYPE, flags, nullptr, nullptr, 0);
  std::string name(size, '\0');
  CertGetNameStringA(CertContext(cert), CERT_NAME_SIMPLE_DISPLAY_TYPE, flags, nullptr, name.data(), size);
  // The size counts the terminator; an empty name is a size of 1.
  name.resize(size > 0 ? size - 1 : 0);
  return name;
}

}  // namespace

Certificate::Certificate(std::unique_ptr<Native> native) : native_(std::move(native)) {}
Certificate::Certificate(Certificate&&) noexcept = default;
Certificate& Certificate::operator=(Certificate&&) noexcept = default;
Certificate::~Certificate() = default;

PCCERT_CONTEXT CertContext(const Certificate& cert) { return cert.native().context.get(); }

Certificate MakeCertificate(PCCERT_CONTEXT context) {
  return Certificate(std::make_unique<Certificate::Native>(Certificate::Native{unique_cert_context(context)}));
}

unique_store OpenSystemStore(Store store) { return unique_store(CertOpenSystemStoreA(0, StoreName(store))); }

std::vector<std::uint8_t> SerialNumberLsbFirst(const Certificate& cert) {
  const CRYPT_INTEGER_BLOB& serial = CertContext(cert)->pCertInfo->SerialNumber;
  return std::vector<std::uint8_t>(serial.pbData, serial.pbData + serial.cbData);
}

std::string SubjectSimpleName(const Certificate& cert) { return NameString(cert, 0); }
std::string IssuerSimpleName(const Certificate& cert) { return NameString(cert, CERT_NAME_ISSUER_FLAG); }

std::uint8_t KeyUsageByte(const Certificate& cert) {
  BYTE usage[2] = {};
  if (!CertGetIntendedKeyUsage(kCertEncoding, CertContext(cert)->pCertInfo, usage, sizeof usage)) return 0;
  return usage[0];
}

std::vector<Certificate> ReadStore(Store store) {
  std::vector<Certificate> certs;
  unique_store handle = OpenSystemStore(store);
  if (!handle) return certs;
  // The enumeration frees the context it is handed; each kept one is a duplicate of its own.
  for (PCCERT_CONTEXT context = nullptr; (context = CertEnumCertificatesInStore(handle.get(), context));)
    certs.push_back(MakeCertificate(CertDuplicateCertificateContext(context)));
  return certs;
}

bool RemoveFromStore(Store store, const std::string& serialText) {
  // The user's own registry store, where the imports go: Wine reports a deletion through the
  // system store as done but never writes it back.
  unique_store handle(CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                    StoreName(store)));
  if (!handle) return false;
  for (PCCERT_CONTEXT context = nullptr; (context = CertEnumCertificatesInStore(handle.get(), context));) {
    Certificate cert = MakeCertificate(CertDuplicateCertificateContext(context));
    if (!SerialTextsEqual(CertSerialToText(cert), serialText)) continue;
    CertFreeCertificateContext(context);  // the enumeration ends here
    // The deletion frees the context it is handed, whether it succeeds or not.
    return CertDeleteCertificateFromStore(cert.native().context.release()) != FALSE;
  }
  return false;
}

bool AddToAddressBook(const std::vector<std::uint8_t>& der) {
  unique_store handle = OpenSystemStore(Store::AddressBook);
  return handle && CertAddEncodedCertificateToStore(handle.get(), kCertEncoding, der.data(), DWORD(der.size()),
                                                    CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

}  // namespace qz
