#include "dialogs.h"

#include <memory>
#include <stdexcept>

#include "decryption_dialog.h"
#include "encryption_dialog.h"
#include "resource.h"

namespace qz::dialogs {
namespace {
// Made without a parent, shown, its boxes read back, painted and centred; from then on the
// dialog ends and frees itself.
void Open(std::unique_ptr<FolderDialog> dialog, UINT templateId) {
  if (!dialog->CreateOwnWindow(templateId, nullptr)) throw std::runtime_error("the dialog's window could not be made");
  FolderDialog* opened = dialog.release();
  ShowWindow(opened->Handle(), SW_SHOW);
  opened->UpdateData(true);
  UpdateWindow(opened->Handle());
  opened->CenterWindow();
}
}  // namespace

void OpenEncryptionDialog(const std::string& sourceFolder, const std::string& destinationFolder) {
  Open(std::make_unique<CEdlgcomm>(sourceFolder, destinationFolder), IDD_ENCRYPT);
}

void OpenDecryptionDialog(const std::string& encryptedFolder, const std::string& destinationFolder) {
  Open(std::make_unique<CDiaDenrylg>(encryptedFolder, destinationFolder), IDD_DECRYPT);
}

}  // namespace qz::dialogs
