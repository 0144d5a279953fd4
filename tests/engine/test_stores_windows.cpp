// Windows stores of the tests: the user's system stores of the test prefix.
#include <windows.h>
#include <wincrypt.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "unique_handle.h"

namespace qz::test {
namespace {

inline void ReleaseProvider(HCRYPTPROV p) { CryptReleaseContext(p, 0); }
inline void CloseStore(HCERTSTORE s) { CertCloseStore(s, 0); }
using unique_prov = unique_handle<HCRYPTPROV, ReleaseProvider>;
using unique_store = unique_handle<HCERTSTORE, CloseStore>;
inline void DestroyKey(HCRYPTKEY k) { CryptDestroyKey(k); }
using unique_key = unique_handle<HCRYPTKEY, DestroyKey>;
inline void FreeCert(PCCERT_CONTEXT c) { CertFreeCertificateContext(c); }
using unique_cert = unique_handle<PCCERT_CONTEXT, FreeCert>;

wchar_t kWrongKeyContainer[] = L"QZ_test_wrong_key";

}  // namespace

void InstallCertificateWithWrongKey() {
  unique_prov prov;
  if (!CryptAcquireContextW(prov.put(), kWrongKeyContainer, MS_ENHANCED_PROV_W, PROV_RSA_FULL, 0)) {
    ASSERT_TRUE(CryptAcquireContextW(prov.put(), kWrongKeyContainer, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_NEWKEYSET));
  }
  unique_key key;
  ASSERT_TRUE(CryptGenKey(prov.get(), AT_KEYEXCHANGE, (1024u << 16), key.put()));

  const auto pem = ReadBytes(DataPath("certs/mallory.crt"));
  DWORD derLength = 0;
  ASSERT_TRUE(CryptStringToBinaryA(reinterpret_cast<const char*>(pem.data()), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER,
                                   nullptr, &derLength, nullptr, nullptr));
  std::vector<BYTE> der(derLength);
  ASSERT_TRUE(CryptStringToBinaryA(reinterpret_cast<const char*>(pem.data()), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER,
                                   der.data(), &derLength, nullptr, nullptr));
  unique_cert cert(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), derLength));
  ASSERT_TRUE(cert);
  CRYPT_KEY_PROV_INFO info = {};
  info.pwszContainerName = kWrongKeyContainer;
  info.pwszProvName = const_cast<wchar_t*>(MS_ENHANCED_PROV_W);
  info.dwProvType = PROV_RSA_FULL;
  info.dwKeySpec = AT_KEYEXCHANGE;
  ASSERT_TRUE(CertSetCertificateContextProperty(cert.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info));
  unique_store my(CertOpenSystemStoreA(0, "MY"));
  ASSERT_TRUE(my);
  ASSERT_TRUE(CertAddCertificateContextToStore(my.get(), cert.get(), CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
}

}  // namespace qz::test
