// Windows stores of the tests: the user's system stores of the test prefix.
#include <windows.h>
#include <wincrypt.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "windows/capi_handles.h"

namespace qz::test {
namespace {

wchar_t kWrongKeyContainer[] = L"QZ_test_wrong_key";

}  // namespace

void InstallCertificateWithWrongKey() {
  unique_provider prov;
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
  unique_cert_context cert(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), derLength));
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
