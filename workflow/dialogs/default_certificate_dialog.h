// The default certificate dialog "设置默认数字证书" (template 103), opened by 更改... of an
// encryption dialog: the user's own certificates that can receive an encrypted session key;
// OK stores the chosen one as the default and shows it in that encryption dialog.
#pragma once

#include <string>

#include "certificate_rows.h"
#include "controls.h"
#include "folder_dialog.h"
#include "skin_button.h"

namespace qz::dialogs {

class CEdlgcomm;

class CDlgSet : public FolderDialog {
 public:
  // Tied to the encryption dialog that opens it, for as long as that one lives.
  explicit CDlgSet(CEdlgcomm& encryptionDialog) : m_encryptionDialog(&encryptionDialog) {}

  // The encryption dialog has ended: from now on OK writes the settings only.
  void ForgetEncryptionDialog() { m_encryptionDialog = nullptr; }

  static const ui::MessageMap& ClassMessageMap();

 protected:
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }
  void DoDataExchange(ui::DataExchange& exchange) override;
  BOOL OnInitDialog() override;
  void OnDestroying() override;

 private:
  void OnSetDefault();
  void OnCancelDefault();

  void LoadPersonalCertificates();
  // Column 2 of the last selected row; empty without a selection.
  std::string LastSelectedSerial() const;

  CSkinBtn m_okButton;
  CSkinBtn m_cancelButton;
  ui::ListView m_certificateTable;
  CertificateRows m_personal;  // subject names, issuer names and serial texts, one per row
  std::string m_chosenSerial;
  CEdlgcomm* m_encryptionDialog;
};

}  // namespace qz::dialogs
