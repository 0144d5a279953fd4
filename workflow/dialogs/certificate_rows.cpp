#include "certificate_rows.h"

#include <commctrl.h>

#include "cert_store.h"

namespace qz::dialogs {

CertificateRows EncipheringCertificates(Store store) {
  CertificateRows rows;
  for (const Certificate& cert : ReadStore(store)) {
    if (!(KeyUsageByte(cert) & kEncipheringUsage)) continue;
    rows.issuerNames.push_back(IssuerSimpleName(cert));
    rows.subjectNames.push_back(SubjectSimpleName(cert));
    rows.serialTexts.push_back(CertSerialToText(cert));
  }
  return rows;
}

void InsertCertificateColumns(ui::ListView& table, int width) {
  table.InsertColumn(0, "颁发给", LVCFMT_CENTER, width);
  table.InsertColumn(1, "颁发者", LVCFMT_LEFT, width);
  table.InsertColumn(2, "证书序列号", LVCFMT_LEFT, width);
}

void AppendCertificateRows(ui::ListView& table, const CertificateRows& rows) {
  for (std::size_t i = 0; i < rows.subjectNames.size(); ++i) {
    const int row = table.InsertItem(table.ItemCount(), rows.subjectNames[i]);
    table.SetItemText(row, 1, rows.issuerNames[i]);
    table.SetItemText(row, 2, rows.serialTexts[i]);
  }
}

}  // namespace qz::dialogs
