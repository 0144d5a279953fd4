// The decryption dialog "解密文件夹" (template 104): the encrypted folder, where the plain files
// go, and the user's certificates among the recipients of the folder's first file. 解密 runs
// the folder decryption.
#pragma once

#include <string>
#include <vector>

#include "controls.h"
#include "running_dialog.h"
#include "skin_button.h"

namespace qz::dialogs {

class CDiaDenrylg : public RunningDialog {
 public:
  CDiaDenrylg(std::string encryptedFolder, std::string destinationFolder);

  static const ui::MessageMap& ClassMessageMap();

 protected:
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }
  void DoDataExchange(ui::DataExchange& exchange) override;
  BOOL OnInitDialog() override;

 private:
  void OnChooseFolder();
  void OnChooseDestFolder();
  void OnDecrypt();
  void OnViewCertificate();

  void LoadDecryptionCertificates();
  std::optional<std::string> SelectedItem() const;

  CSkinBtn m_chooseFolderButton;
  CSkinBtn m_chooseDestinationButton;
  CSkinBtn m_viewCertificateButton;
  CSkinBtn m_decryptButton;
  CSkinBtn m_cancelButton;
  ui::ComboBox m_certificateList;
  std::string m_chosenItem;
  std::vector<std::string> m_fileList;
  std::string m_encryptedFolder;
  std::string m_destinationFolder;
};

}  // namespace qz::dialogs
