// The encryption dialog "文件夹加密" (template 101): the folder to encrypt, where the encrypted
// folder goes, the default certificate, and in its expanded form other people's certificates
// from the address book as further recipients. Its 加密 buttons run the folder encryption.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "busy_window.h"
#include "certificate_rows.h"
#include "controls.h"
#include "directory_lookup.h"
#include "encryption_run.h"
#include "running_dialog.h"
#include "skin_button.h"

namespace qz::dialogs {

class CDlgSet;

class CEdlgcomm : public RunningDialog {
 public:
  CEdlgcomm(std::string sourceFolder, std::string destinationFolder);

  // A default-certificate dialog opened from this one confirmed a certificate: its name goes
  // into the field and box 1005, and 查看证书 becomes usable.
  void SetDefaultCertificate(const std::string& name);
  // A default-certificate dialog opened from this one has ended.
  void ForgetDefaultCertificateDialog(CDlgSet* dialog);

  static const ui::MessageMap& ClassMessageMap();

 protected:
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }
  void DoDataExchange(ui::DataExchange& exchange) override;
  BOOL OnInitDialog() override;
  void OnDestroying() override;

 private:
  void OnEncrypt();
  void OnAdvanced();
  // 查询: looks the address of box 1014 up in the directory on the run's thread, under the
  // busy window; the certificates found are appended as unticked rows.
  void OnSearchDirectory();
  void EndSearch(const DirectoryLookup& lookup);
  void OnChooseSource();
  void OnChooseDestination();
  void OnChangeDefaultCert();
  void OnViewDefaultCert();

  void LoadAddressBook();
  EncryptionInputs Inputs() const;
  std::vector<std::string> ListedSerials() const;

  CSkinBtn m_chooseSourceButton;
  CSkinBtn m_chooseDestinationButton;
  CSkinBtn m_viewCertificateButton;
  CSkinBtn m_changeCertificateButton;
  CSkinBtn m_upperEncryptButton;
  CSkinBtn m_upperCancelButton;
  CSkinBtn m_advancedButton;
  CSkinBtn m_searchButton;
  CSkinBtn m_encryptButton;
  CSkinBtn m_cancelButton;
  int m_fullHeight = 0;
  int m_collapsedHeight = 0;
  ui::ListView m_certificateList;
  std::string m_certificateName;
  std::string m_searchText;
  std::string m_sourceFolder;
  std::string m_destinationFolder;
  CertificateRows m_addressBook;  // subject names, issuer names and serial texts, in store order
  std::unique_ptr<CshowDlg> m_busyWindow;  // while the directory is searched
  // The default-certificate dialogs opened from this one that are still open.
  std::vector<CDlgSet*> m_defaultCertificateDialogs;
};

}  // namespace qz::dialogs
