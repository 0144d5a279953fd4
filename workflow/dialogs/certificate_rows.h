// The certificates of a store that can receive a wrapped session key (key or data
// encipherment), as the rows of the dialogs' certificate tables: issued to, issued by, serial.
#pragma once

#include <string>
#include <vector>

#include "certificate.h"
#include "controls.h"

namespace qz::dialogs {

// Key encipherment (0x20) or data encipherment (0x10); a certificate without the key-usage
// extension reads as 0 and does not qualify.
inline constexpr unsigned kEncipheringUsage = 0x30;

struct CertificateRows {
  std::vector<std::string> subjectNames;
  std::vector<std::string> issuerNames;
  std::vector<std::string> serialTexts;
};

// In the store's enumeration order; empty when the store cannot be opened.
CertificateRows EncipheringCertificates(Store store);

// Column headers of the tables: issued to (centred), issued by, serial number.
void InsertCertificateColumns(ui::ListView& table, int width);
// After the rows there are, row i: subject name i, then issuer name i and serial text i in
// columns 1 and 2.
void AppendCertificateRows(ui::ListView& table, const CertificateRows& rows);

}  // namespace qz::dialogs
