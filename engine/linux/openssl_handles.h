// Owners of the OpenSSL objects the Linux backend uses.
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include "unique_handle.h"

namespace qz {

using unique_x509 = unique_handle<X509*, X509_free>;
using unique_evp_pkey = unique_handle<EVP_PKEY*, EVP_PKEY_free>;
using unique_evp_pkey_ctx = unique_handle<EVP_PKEY_CTX*, EVP_PKEY_CTX_free>;
inline void FreeBio(BIO* b) { BIO_free_all(b); }
using unique_bio = unique_handle<BIO*, FreeBio>;
using unique_pkcs12 = unique_handle<PKCS12*, PKCS12_free>;
inline void FreeX509Stack(STACK_OF(X509)* s) { sk_X509_pop_free(s, X509_free); }
using unique_x509_stack = unique_handle<STACK_OF(X509)*, FreeX509Stack>;

}  // namespace qz
