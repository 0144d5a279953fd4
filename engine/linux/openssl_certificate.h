// The Linux certificate handle: the certificate and the store file it came from (a file of the
// "MY" store also holds the private key).
#pragma once

#include <string>

#include "certificate.h"
#include "openssl_handles.h"

namespace qz {

struct Certificate::Native {
  unique_x509 x509;
  std::string file;
};

// The private key of a certificate of "MY", as its store file holds it; none when it has none.
unique_evp_pkey PrivateKeyOf(const Certificate& cert);

}  // namespace qz
