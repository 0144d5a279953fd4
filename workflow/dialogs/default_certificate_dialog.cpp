#include "default_certificate_dialog.h"

#include <commctrl.h>

#include "button_looks.h"
#include "cert_store.h"
#include "dialog_messages.h"
#include "encryption_dialog.h"
#include "resource.h"
#include "settings.h"

namespace qz::dialogs {
namespace {
constexpr int kColumnWidth = 150;
}

const ui::MessageMap& CDlgSet::ClassMessageMap() {
  static const ui::MessageMap map{&FolderDialog::ClassMessageMap(),
                                  {
                                      ui::OnCommand<&CDlgSet::OnCancelDefault>(IDCANCEL),
                                      ui::OnCommand<&CDlgSet::OnSetDefault>(IDOK),
                                  }};
  return map;
}

void CDlgSet::DoDataExchange(ui::DataExchange& exchange) {
  FolderDialog::DoDataExchange(exchange);
  exchange.Control(IDC_DEFAULT_CERT_TABLE, m_certificateTable);
  exchange.Control(IDOK, m_okButton);
  exchange.Control(IDCANCEL, m_cancelButton);
}

BOOL CDlgSet::OnInitDialog() {
  FolderDialog::OnInitDialog();
  SetUpButtons(DefaultCertificateDialogButtons());
  m_certificateTable.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  InsertCertificateColumns(m_certificateTable, kColumnWidth);
  LoadPersonalCertificates();
  AppendCertificateRows(m_certificateTable, m_personal);
  return TRUE;
}

void CDlgSet::OnDestroying() {
  if (m_encryptionDialog) m_encryptionDialog->ForgetDefaultCertificateDialog(this);
  m_encryptionDialog = nullptr;
}

void CDlgSet::LoadPersonalCertificates() { m_personal = EncipheringCertificates(Store::My); }

std::string CDlgSet::LastSelectedSerial() const {
  std::string serial;
  for (int row = 0; row < m_certificateTable.ItemCount(); ++row)
    if (m_certificateTable.IsSelected(row)) serial = m_certificateTable.ItemText(row, 2);
  return serial;
}

void CDlgSet::OnSetDefault() {
  if (std::string serial = LastSelectedSerial(); !serial.empty()) m_chosenSerial = serial;
  if (m_chosenSerial.empty()) {
    ShowMessage(message::kChooseACertificate, caption::kRefused, MessageIcon::None);
    return;
  }
  // A certificate removed from the store since the table was filled: nothing is written.
  if (std::optional<Certificate> cert = FindMyCertBySerial(m_chosenSerial)) {
    const std::string name = SubjectSimpleName(*cert);
    WriteDefaultCertificate(SettingsFile::OfUser(), name, m_chosenSerial);
    if (m_encryptionDialog) m_encryptionDialog->SetDefaultCertificate(name);
  }
  Dialog::OnOK();
}

void CDlgSet::OnCancelDefault() {
  ShowMessage(message::kDefaultChangeCancelled, caption::kInformation, MessageIcon::Exclamation);
  Dialog::OnCancel();
}

}  // namespace qz::dialogs
