#include "decryption_dialog.h"

#include "button_looks.h"
#include "cert_store.h"
#include "certificate_items.h"
#include "certificate_viewer.h"
#include "common_dialogs.h"
#include "decryption_run.h"
#include "dialog_messages.h"
#include "message_boxes.h"
#include "naming.h"
#include "narrow_text.h"
#include "resource.h"

namespace qz::dialogs {
namespace {
// The scan's view of the dialog's sorted drop-down list.
class ComboItems final : public CertificateItemList {
 public:
  explicit ComboItems(ui::ComboBox& combo) : m_combo(combo) {}
  void Add(const std::string& itemText) override { m_combo.AddString(itemText); }
  void SelectFirst() override { m_combo.SetCurrentSelection(0); }

 private:
  ui::ComboBox& m_combo;
};

// The file name the save dialog proposes: the destination from one byte past the encrypted
// folder's last backslash (D:\docs.qz gives docs, D:\a.qz\sub gives nothing).
std::string ProposedName(const std::string& encryptedFolder, const std::string& destinationFolder) {
  const std::size_t separator = FindLastChar(encryptedFolder, '\\');
  const std::size_t start = separator == std::string::npos ? 0 : separator + 1;
  return start < destinationFolder.size() ? destinationFolder.substr(start) : std::string();
}
}  // namespace

CDiaDenrylg::CDiaDenrylg(std::string encryptedFolder, std::string destinationFolder)
    : RunningDialog({message::kDecryptBrokeOff, caption::kDecryptFailure, MessageIcon::Error}),
      m_encryptedFolder(std::move(encryptedFolder)),
      m_destinationFolder(std::move(destinationFolder)) {}

const ui::MessageMap& CDiaDenrylg::ClassMessageMap() {
  static const ui::MessageMap map{&RunningDialog::ClassMessageMap(),
                                  {
                                      WhenIdle<&CDiaDenrylg::OnChooseFolder>(IDC_CHOOSE_ENCRYPTED),
                                      WhenIdle<&CDiaDenrylg::OnChooseDestFolder>(IDC_CHOOSE_PLAIN),
                                      WhenIdle<&CDiaDenrylg::OnDecrypt>(IDOK),
                                      Ignored(IDC_DECRYPT_CERTS, CBN_SELCHANGE),
                                      WhenIdle<&CDiaDenrylg::OnViewCertificate>(IDC_VIEW_DECRYPT_CERT),
                                  }};
  return map;
}

void CDiaDenrylg::DoDataExchange(ui::DataExchange& exchange) {
  RunningDialog::DoDataExchange(exchange);
  exchange.Text(IDC_ENCRYPTED_FOLDER, m_encryptedFolder);
  exchange.Text(IDC_PLAIN_FOLDER, m_destinationFolder);
  exchange.Control(IDC_DECRYPT_CERTS, m_certificateList);
  exchange.Control(IDC_CHOOSE_ENCRYPTED, m_chooseFolderButton);
  exchange.Control(IDC_CHOOSE_PLAIN, m_chooseDestinationButton);
  exchange.Control(IDC_VIEW_DECRYPT_CERT, m_viewCertificateButton);
  exchange.Control(IDOK, m_decryptButton);
  exchange.Control(IDCANCEL, m_cancelButton);
}

BOOL CDiaDenrylg::OnInitDialog() {
  RunningDialog::OnInitDialog();
  SetUpButtons(DecryptionDialogButtons());
  if (!m_encryptedFolder.empty() && !m_destinationFolder.empty()) LoadDecryptionCertificates();
  return TRUE;
}

void CDiaDenrylg::LoadDecryptionCertificates() {
  ComboItems items(m_certificateList);
  ui::OwnedMessageSink sink(Handle());
  m_fileList = qz::LoadDecryptionCertificates(m_encryptedFolder, items, sink);
}

std::optional<std::string> CDiaDenrylg::SelectedItem() const {
  const int selected = m_certificateList.CurrentSelection();
  if (selected < 0) return std::nullopt;
  return m_certificateList.ItemText(selected);
}

void CDiaDenrylg::OnChooseFolder() {
  std::optional<std::string> folder = ui::ChooseFolder(Handle(), message::kChooseEncryptedTitle);
  if (!folder) {
    ShowMessage(message::kDecryptChoiceCancelled, caption::kInformation, MessageIcon::Information);
    return;
  }
  m_encryptedFolder = *folder;
  m_destinationFolder = PlainNameOf(*folder);
  UpdateData(false);
  LoadDecryptionCertificates();
}

void CDiaDenrylg::OnChooseDestFolder() {
  if (m_encryptedFolder.empty()) {
    ShowMessage(message::kChooseEncryptedFirst, caption::kInformation, MessageIcon::Information);
    return;
  }
  const std::size_t z = FindLastChar(m_encryptedFolder, 'z');
  if (z == std::string::npos || z == 0) {
    ShowMessage(message::kEncryptedNameChanged, caption::kRefused, MessageIcon::Exclamation);
    return;
  }
  m_destinationFolder = PlainNameOf(m_encryptedFolder);
  ui::FileDialogOptions options;
  options.title = message::kSaveTitle;
  options.initialName = ProposedName(m_encryptedFolder, m_destinationFolder);
  std::optional<std::string> path = ui::ChooseFileToSave(Handle(), options);
  if (!path) {
    // The derived destination stays, although the box still shows the one before.
    ShowMessage(message::kDecryptSaveCancelled, caption::kInformation, MessageIcon::Exclamation);
    return;
  }
  m_destinationFolder = *path;
  UpdateData(false);
}

void CDiaDenrylg::OnDecrypt() {
  std::optional<std::string> selected = SelectedItem();
  if (selected) m_chosenItem = *selected;
  DecryptionInputs inputs{m_encryptedFolder, m_destinationFolder, m_fileList, selected};
  StartRun([inputs = std::move(inputs)](MessageSink& sink, RunControl& control) {
    return qz::OnDecrypt(inputs, sink, control);
  });
}

void CDiaDenrylg::OnViewCertificate() {
  std::optional<std::string> selected = SelectedItem();
  if (!selected) {
    ShowMessage(message::kNoCertificateToView, caption::kDecryptFailure, MessageIcon::Information);
    return;
  }
  m_chosenItem = *selected;
  // The same serial the run would decrypt with.
  std::optional<Certificate> cert = FindMyCertBySerial(SerialOfItem(m_chosenItem));
  if (!cert) {
    ShowMessage(message::kCertificateGone, caption::kEngineFailure, MessageIcon::Error);
    return;
  }
  if (!ViewCertificate(*cert, "sne.cer"))
    ShowMessage(message::kViewerFileFailed, caption::kDecryptFailure, MessageIcon::Error);
}

}  // namespace qz::dialogs
