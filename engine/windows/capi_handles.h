// Owners of the CryptoAPI handles of the Windows backend, the certificate context behind a
// Certificate, and the few helpers its files share.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "certificate.h"
#include "unique_handle.h"

namespace qz {

inline void CloseStore(HCERTSTORE store) { CertCloseStore(store, 0); }
inline void FreeCertContext(PCCERT_CONTEXT context) { CertFreeCertificateContext(context); }
inline void ReleaseProvider(HCRYPTPROV provider) { CryptReleaseContext(provider, 0); }
inline void DestroyKey(HCRYPTKEY key) { CryptDestroyKey(key); }
inline void DestroyHash(HCRYPTHASH hash) { CryptDestroyHash(hash); }
inline void FreeLocal(void* memory) { LocalFree(memory); }

using unique_store = unique_handle<HCERTSTORE, CloseStore>;
using unique_cert_context = unique_handle<PCCERT_CONTEXT, FreeCertContext>;
using unique_provider = unique_handle<HCRYPTPROV, ReleaseProvider>;
using unique_key = unique_handle<HCRYPTKEY, DestroyKey>;
using unique_hash = unique_handle<HCRYPTHASH, DestroyHash>;
// What CryptDecodeObjectEx allocates with CRYPT_DECODE_ALLOC_FLAG.
using unique_local = unique_handle<void*, FreeLocal>;

// The encodings every certificate and public key of this system uses.
inline constexpr DWORD kCertEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct Certificate::Native {
  unique_cert_context context;
};

PCCERT_CONTEXT CertContext(const Certificate& cert);
// Takes over one reference of the context.
Certificate MakeCertificate(PCCERT_CONTEXT context);
unique_store OpenSystemStore(Store store);

// Whether the provider's key pair of the key specification is the certificate's own.
bool HoldsKeyOf(HCRYPTPROV provider, DWORD keySpec, PCCERT_CONTEXT cert);

}  // namespace qz
