#include "encryption_dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "button_looks.h"
#include "cert_store.h"
#include "certificate_viewer.h"
#include "common_dialogs.h"
#include "default_certificate_dialog.h"
#include "dialog_messages.h"
#include "message_boxes.h"
#include "naming.h"
#include "resource.h"
#include "settings.h"

namespace qz::dialogs {
namespace {
constexpr int kColumnWidth = 130;
// The expanded dialog stops this much short of its template's full height.
constexpr int kExpandedShortfall = 22;

int HeightOf(const RECT& rect) { return rect.bottom - rect.top; }

RECT WindowRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}
}  // namespace

CEdlgcomm::CEdlgcomm(std::string sourceFolder, std::string destinationFolder)
    : RunningDialog({message::kEncryptBrokeOff, caption::kEngineFailure, MessageIcon::Error}),
      m_sourceFolder(std::move(sourceFolder)),
      m_destinationFolder(std::move(destinationFolder)) {}

const ui::MessageMap& CEdlgcomm::ClassMessageMap() {
  static const ui::MessageMap map{&RunningDialog::ClassMessageMap(),
                                  {
                                      WhenIdle<&CEdlgcomm::OnEncrypt>(IDOK),
                                      WhenIdle<&CEdlgcomm::OnAdvanced>(IDC_ADVANCED),
                                      WhenIdle<&CEdlgcomm::OnSearchDirectory>(IDC_SEARCH),
                                      Ignored(IDC_SOURCE_FOLDER, EN_CHANGE),
                                      WhenIdle<&CEdlgcomm::OnChooseSource>(IDC_CHOOSE_SOURCE),
                                      Ignored(IDC_SEARCH_TEXT, EN_CHANGE),
                                      WhenIdle<&CEdlgcomm::OnChooseDestination>(IDC_CHOOSE_DEST),
                                      WhenIdle<&CEdlgcomm::OnChangeDefaultCert>(IDC_CHANGE_CERT),
                                      WhenIdle<&CEdlgcomm::OnEncrypt>(IDC_UPPER_ENCRYPT),
                                      ui::OnCommand<&CEdlgcomm::OnCancel>(IDC_UPPER_CANCEL),
                                      WhenIdle<&CEdlgcomm::OnViewDefaultCert>(IDC_VIEW_CERT),
                                  }};
  return map;
}

void CEdlgcomm::DoDataExchange(ui::DataExchange& exchange) {
  RunningDialog::DoDataExchange(exchange);
  exchange.Control(IDC_CERT_LIST, m_certificateList);
  exchange.Text(IDC_SOURCE_FOLDER, m_sourceFolder);
  exchange.Text(IDC_DEST_FOLDER, m_destinationFolder);
  exchange.Text(IDC_CERT_NAME, m_certificateName);
  exchange.Text(IDC_SEARCH_TEXT, m_searchText);
  exchange.Control(IDC_CHOOSE_SOURCE, m_chooseSourceButton);
  exchange.Control(IDC_CHOOSE_DEST, m_chooseDestinationButton);
  exchange.Control(IDC_VIEW_CERT, m_viewCertificateButton);
  exchange.Control(IDC_CHANGE_CERT, m_changeCertificateButton);
  exchange.Control(IDC_UPPER_ENCRYPT, m_upperEncryptButton);
  exchange.Control(IDC_UPPER_CANCEL, m_upperCancelButton);
  exchange.Control(IDC_ADVANCED, m_advancedButton);
  exchange.Control(IDC_SEARCH, m_searchButton);
  exchange.Control(IDOK, m_encryptButton);
  exchange.Control(IDCANCEL, m_cancelButton);
}

BOOL CEdlgcomm::OnInitDialog() {
  RunningDialog::OnInitDialog();
  SetUpButtons(EncryptionDialogButtons());
  const SettingsFile settings = SettingsFile::OfUser();
  EnableItem(IDC_CERT_NAME, false);
  if (settings.ReadInt(key::kSetCertFlag) == 1) {
    m_certificateName = settings.ReadText(key::kCertName);
    UpdateData(false);
  } else {
    EnableItem(IDC_VIEW_CERT, false);
  }
  m_certificateList.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  InsertCertificateColumns(m_certificateList, kColumnWidth);

  const RECT window = WindowRectOf(Handle());
  m_fullHeight = HeightOf(window);
  m_collapsedHeight = WindowRectOf(GetDlgItem(Handle(), IDC_OTHERS_GROUP)).top - window.top;
  MoveWindow(Handle(), window.left, window.top, window.right - window.left, m_collapsedHeight, TRUE);
  return TRUE;
}

void CEdlgcomm::OnDestroying() {
  RunningDialog::OnDestroying();
  m_busyWindow.reset();
  // Those still open must not reach back into a dialog that is gone.
  for (CDlgSet* dialog : std::exchange(m_defaultCertificateDialogs, {})) dialog->ForgetEncryptionDialog();
}

void CEdlgcomm::SetDefaultCertificate(const std::string& name) {
  m_certificateName = name;
  SetDlgItemTextA(Handle(), IDC_CERT_NAME, name.c_str());
  UpdateWindow(Handle());
  EnableItem(IDC_VIEW_CERT, true);
}

void CEdlgcomm::ForgetDefaultCertificateDialog(CDlgSet* dialog) {
  m_defaultCertificateDialogs.erase(
      std::remove(m_defaultCertificateDialogs.begin(), m_defaultCertificateDialogs.end(), dialog),
      m_defaultCertificateDialogs.end());
}

EncryptionInputs CEdlgcomm::Inputs() const {
  EncryptionInputs inputs{m_sourceFolder, m_destinationFolder, m_certificateName, {}};
  for (int row = 0; row < m_certificateList.ItemCount(); ++row)
    inputs.otherCertificates.push_back({m_certificateList.IsChecked(row), m_certificateList.ItemText(row, 2)});
  return inputs;
}

std::vector<std::string> CEdlgcomm::ListedSerials() const {
  std::vector<std::string> serials;
  for (int row = 0; row < m_certificateList.ItemCount(); ++row) serials.push_back(m_certificateList.ItemText(row, 2));
  return serials;
}

void CEdlgcomm::OnEncrypt() {
  StartRun([inputs = Inputs(), settings = SettingsFile::OfUser()](MessageSink& sink, RunControl& control) {
    return qz::OnEncrypt(inputs, settings, sink, control);
  });
}

void CEdlgcomm::OnAdvanced() {
  ShowItem(IDC_UPPER_ENCRYPT, false);
  ShowItem(IDC_UPPER_CANCEL, false);
  m_advancedButton.SetBitmaps(IDB_ADVANCED_DONE, IDB_ADVANCED_DONE, IDB_ADVANCED_DONE, IDB_ADVANCED_DONE);
  EnableItem(IDC_ADVANCED, false);
  const RECT window = WindowRectOf(Handle());
  MoveWindow(Handle(), window.left, window.top, window.right - window.left, m_fullHeight - kExpandedShortfall, TRUE);
  LoadAddressBook();
  AppendCertificateRows(m_certificateList, m_addressBook);
}

void CEdlgcomm::OnSearchDirectory() {
  UpdateData(true);
  if (std::optional<RunMessage> refusal = RefuseSearchText(m_searchText)) {
    ShowMessage(refusal->text, refusal->caption, refusal->icon);
    return;
  }
  m_busyWindow = std::make_unique<CshowDlg>();
  if (m_busyWindow->Create(IDD_BUSY, Handle())) m_busyWindow->ShowOver(Handle());
  // Told as a failure of the lookup should the work end without its own account.
  auto lookup = std::make_shared<DirectoryLookup>();
  lookup->message = RunMessage{qz::message::kLookupException, caption::kInformation, MessageIcon::Information};
  auto work = [lookup, text = m_searchText, settings = SettingsFile::OfUser(), listed = ListedSerials()]() mutable {
    *lookup = LookUpDirectoryCertificates(text, settings, std::move(listed));
  };
  if (!StartWork(std::move(work), [this, lookup] { EndSearch(*lookup); })) EndSearch(*lookup);
}

void CEdlgcomm::EndSearch(const DirectoryLookup& lookup) {
  m_busyWindow.reset();
  CertificateRows found;
  for (const DirectoryRow& row : lookup.rows) {
    found.subjectNames.push_back(row.subject);
    found.issuerNames.push_back(row.issuer);
    found.serialTexts.push_back(row.serial);
  }
  AppendCertificateRows(m_certificateList, found);
  ui::OwnedMessageSink sink(Handle());
  ShowLookupMessage(lookup, sink);
}

void CEdlgcomm::LoadAddressBook() { m_addressBook = EncipheringCertificates(Store::AddressBook); }

void CEdlgcomm::OnChooseSource() {
  std::optional<std::string> folder = ui::ChooseFolder(Handle(), message::kChooseSourceTitle);
  if (!folder) {
    ShowMessage(message::kEncryptChoiceCancelled, caption::kInformation, MessageIcon::Exclamation);
    return;
  }
  m_sourceFolder = *folder;
  m_destinationFolder = EncryptedFolderOf(*folder);
  UpdateData(false);
}

void CEdlgcomm::OnChooseDestination() {
  ui::FileDialogOptions options;
  options.title = message::kSaveTitle;
  options.filter = "(*.qz)|*.qz";
  std::optional<std::string> path = ui::ChooseFileToSave(Handle(), options);
  if (!path) {
    ShowMessage(message::kEncryptChoiceCancelled, caption::kInformation, MessageIcon::Exclamation);
    return;
  }
  m_destinationFolder = EncryptedFolderOf(*path);
  UpdateData(false);
}

void CEdlgcomm::OnChangeDefaultCert() {
  auto dialog = std::make_unique<CDlgSet>(*this);
  if (!dialog->CreateOwnWindow(IDD_DEFAULT_CERT, Handle())) return;
  CDlgSet* opened = dialog.release();  // ends by itself from now on
  m_defaultCertificateDialogs.push_back(opened);
  ShowWindow(opened->Handle(), SW_SHOW);
  opened->CenterWindow();
}

void CEdlgcomm::OnViewDefaultCert() {
  if (m_certificateName.empty()) {
    ShowMessage(message::kNoDefaultCertificate, caption::kRefused, MessageIcon::Error);
    return;
  }
  const std::string serial = SettingsFile::OfUser().ReadText(key::kCertSerial);
  if (serial.empty()) {
    ShowMessage(message::kEmptyDefaultSerial, caption::kEngineFailure, MessageIcon::Error);
    return;
  }
  std::optional<Certificate> cert = FindMyCertBySerial(serial);
  if (!cert) {
    ShowMessage(message::kCertificateGone, caption::kEngineFailure, MessageIcon::Error);
    return;
  }
  if (!ViewCertificate(*cert, "see.cer"))
    ShowMessage(message::kViewerFileFailed, caption::kDecryptFailure, MessageIcon::Error);
}

}  // namespace qz::dialogs
