#include "dialog_test_support.h"

#include <wincrypt.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>

#include "certificate_viewer.h"
#include "file_cipher.h"
#include "folder_listing.h"
#include "naming.h"
#include "settings.h"
#include "win_app.h"
#include "window.h"
#include "windows/capi_handles.h"

namespace qz::test {
namespace {
std::string DialogCertPath(const std::string& name) { return std::string(QZ_DIALOG_CERTS) + "/" + name; }

void AddToSystemStore(const char* store, const std::vector<std::uint8_t>& der) {
  unique_store opened(CertOpenSystemStoreA(0, store));
  ASSERT_TRUE(opened) << store;
  ASSERT_TRUE(CertAddEncodedCertificateToStore(opened.get(), X509_ASN_ENCODING, der.data(), DWORD(der.size()),
                                               CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
}

bool IsVisibleDialogTitled(HWND window, const std::string& title) {
  return ClassOf(window) == "#32770" && IsWindowVisible(window) && ui::WindowText(window) == title;
}
}  // namespace

std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "{" << box.text << " | " << box.caption << " | 0x" << std::hex << unsigned(box.icon) << std::dec
             << "}";
}

void DialogTest::SetUpTestSuite() {
  InstallTestCertificates();
  // Neither may be offered: one cannot receive a session key, the other says nothing of it.
  for (const char* name : {"signer.crt", "nokeyusage.crt"}) {
    const std::vector<std::uint8_t> der = CertificateBytes(DialogCertPath(name));
    AddToSystemStore("ADDRESSBOOK", der);
    AddToSystemStore("MY", der);
  }
}

void DialogTest::SetUp() {
  ui::WinApp::Current()->SetMessages(&boxes);
  dialogs::SetViewerLauncher([this](const std::string& commandLine) {
    const std::string path = commandLine.substr(commandLine.rfind(' ') + 1);
    launches.push_back({commandLine, ReadBytes(path)});
  });
  ClearSettings();
}

void DialogTest::TearDown() {
  // What a test left open goes, so that the next one finds only its own windows.
  while (HWND left = FindThreadWindow([](HWND w) { return ClassOf(w) == "#32770" && IsWindowVisible(w); })) {
    DestroyWindow(left);
    Pump(20);
  }
  Pump(50);
  dialogs::SetViewerLauncher(nullptr);
  ui::WinApp::Current()->SetMessages(nullptr);
}

std::vector<Box> DialogTest::Boxes() const {
  std::vector<Box> shown;
  for (const auto& box : boxes.Boxes()) shown.push_back({box.text, box.caption, box.icon});
  return shown;
}

std::vector<Box> DialogTest::BoxesSince(std::size_t count) const {
  std::vector<Box> shown = Boxes();
  shown.erase(shown.begin(), shown.begin() + std::min(count, shown.size()));
  return shown;
}

bool DialogTest::AllOwnedBy(HWND owner) const {
  return std::all_of(boxes.Boxes().begin(), boxes.Boxes().end(), [&](const auto& box) { return box.owner == owner; });
}

HWND WaitForDialog(const std::string& title) {
  HWND found = nullptr;
  PumpUntil([&] { return (found = FindThreadDialog(title)) != nullptr; }, 10000);
  return found;
}

std::vector<HWND> DialogsTitled(const std::string& title) {
  std::vector<HWND> found;
  FindThreadWindow([&](HWND window) {
    if (IsVisibleDialogTitled(window, title)) found.push_back(window);
    return false;
  });
  return found;
}

bool WaitGone(HWND window, DWORD timeoutMs) {
  return PumpUntil([&] { return !IsWindow(window); }, timeoutMs);
}

std::string Text(HWND dialog, int id) { return ui::WindowText(GetDlgItem(dialog, id)); }

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Type(HWND dialog, int id, const std::string& text) {
  HWND box = GetDlgItem(dialog, id);
  SendMessageA(box, EM_SETSEL, 0, -1);
  SendMessageA(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool IsShown(HWND dialog, int id) { return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }

RECT WindowRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

std::vector<std::string> Column(HWND listView, int column) {
  std::vector<std::string> texts;
  const int rows = static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    char text[256] = "";
    LVITEMA cell{};
    cell.iSubItem = column;
    cell.pszText = text;
    cell.cchTextMax = sizeof text;
    SendMessageA(listView, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
    texts.push_back(text);
  }
  return texts;
}

void Tick(HWND listView, int row) { ListView_SetCheckState(listView, row, TRUE); }

void Select(HWND listView, int row) {
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED;
  state.state = LVIS_SELECTED;
  SendMessageA(listView, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

void ClearSettings() {
  const SettingsFile settings = SettingsFile::OfUser();
  DeleteFileA(settings.path().c_str());
  if (!settings.userPath().empty()) DeleteFileA(settings.userPath().c_str());
}

void SetDefaultCertificate(const std::string& name, const std::string& serial) {
  const SettingsFile settings = SettingsFile::OfUser();
  ASSERT_TRUE(settings.WriteText(key::kSetCertFlag, "1"));
  ASSERT_TRUE(settings.WriteText(key::kCertName, name));
  ASSERT_TRUE(settings.WriteText(key::kCertSerial, serial));
}

std::string SettingsText() {
  const auto bytes = ReadBytes(SettingsFile::OfUser().path());
  return std::string(bytes.begin(), bytes.end());
}

void MakeFolder(const std::string& folder, const std::vector<std::string>& names, std::size_t size) {
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
  for (const std::string& name : names) {
    std::vector<std::uint8_t> bytes(name.begin(), name.end());
    while (bytes.size() < size) bytes.insert(bytes.end(), name.begin(), name.end());
    WriteBytes(JoinPath(folder, name), bytes);
  }
}

void EncryptFolder(const std::string& source, const std::string& encrypted, const std::string& recipients) {
  ASSERT_TRUE(CreateDirectoryA(encrypted.c_str(), nullptr)) << encrypted;
  CFileCipher cipher;
  for (const std::string& path : ListFiles(source))
    ASSERT_EQ(cipher.EncryptOneFile(path, EncryptedFilePath(encrypted, FileNameOf(path)), recipients), 0)
        << cipher.ErrorText();
}

bool DecryptsTo(const std::string& encryptedFile, const std::string& plainFile, const std::string& serial) {
  ScratchDir out;
  CFileCipher cipher;
  const std::string decrypted = out.Path("plain");
  return cipher.DecryptOneFile(encryptedFile, decrypted, serial) == 0 && ReadBytes(decrypted) == ReadBytes(plainFile);
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& path : ListFiles(folder)) names.push_back(FileNameOf(path));
  std::sort(names.begin(), names.end());
  return names;
}

namespace {
constexpr int kFileNameBox = 0x47C;  // cmb13: the file name box of the system's file dialogs

// The folder chooser shows its title in a text of its own.
HWND FindFolderChooser(const std::string& title) {
  return FindThreadWindow([&](HWND window) {
    return IsWindowVisible(window) && FindWindowExA(window, nullptr, nullptr, title.c_str()) != nullptr;
  });
}

// The text of the tree's selected folder.
std::string SelectedFolderName(HWND chooser) {
  HWND tree = FindWindowExA(chooser, nullptr, WC_TREEVIEWA, nullptr);
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  char text[MAX_PATH] = "";
  TVITEMA entry{};
  entry.mask = TVIF_TEXT;
  entry.hItem = item;
  entry.pszText = text;
  entry.cchTextMax = sizeof text;
  if (!item || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry))) return {};
  return text;
}
}  // namespace

// Wine's chooser fills its tree after it shows: the folder is selected again on every tick until
// the tree shows it, and only then confirmed.
std::unique_ptr<ModalAnswerer> AnswerFolderChooser(const std::string& title, std::optional<std::string> folder) {
  return std::make_unique<ModalAnswerer>([title, folder] {
    HWND chooser = FindFolderChooser(title);
    if (!chooser) return false;
    if (folder) {
      SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
      if (_stricmp(SelectedFolderName(chooser).c_str(), FileNameOf(*folder).c_str()) != 0) return false;
    }
    Press(chooser, folder ? IDOK : IDCANCEL);
    return true;
  });
}

std::unique_ptr<ModalAnswerer> AnswerSaveDialog(const std::string& title, std::optional<std::string> path,
                                                std::string* initialName) {
  return std::make_unique<ModalAnswerer>([title, path, initialName] {
    HWND dialog = FindThreadDialog(title);
    if (!dialog) return false;
    if (initialName) *initialName = ui::WindowText(GetDlgItem(dialog, kFileNameBox));
    if (path) SetDlgItemTextA(dialog, kFileNameBox, path->c_str());
    Press(dialog, path ? IDOK : IDCANCEL);
    return true;
  });
}

std::vector<std::uint8_t> CertificateBytes(const std::string& certFile) {
  const auto pem = ReadBytes(certFile);
  DWORD length = 0;
  CryptStringToBinaryA(reinterpret_cast<const char*>(pem.data()), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER,
                       nullptr, &length, nullptr, nullptr);
  std::vector<std::uint8_t> der(length);
  CryptStringToBinaryA(reinterpret_cast<const char*>(pem.data()), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER,
                       der.data(), &length, nullptr, nullptr);
  der.resize(length);
  return der;
}

void Screenshot(const std::string& name) {
  const char* shots = std::getenv("QZ_SHOTS");
  if (!shots) return;
  Pump(300);  // what was just shown gets painted
  const std::string base = std::string(shots) + "\\" + name;
  WriteBytes(base + ".request", {});
  EXPECT_TRUE(PumpUntil([&] { return Exists(base + ".png"); }, 30000)) << "no screenshot " << name;
}

}  // namespace qz::test
