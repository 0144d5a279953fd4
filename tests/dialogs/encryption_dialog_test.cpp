// The encryption dialog and the default certificate dialogs it opens, driven like a person:
// clicks, typing, ticks, the real choosers answered by the test, every message box recorded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "dialog_test_support.h"
#include "dialogs.h"
#include "encryption_dialog.h"
#include "naming.h"
#include "resource.h"
#include "settings.h"
#include "win_app.h"
#include "workflow_test_support.h"

namespace qz::test {
namespace {

constexpr char kTitle[] = "文件夹加密";
constexpr char kDefaultTitle[] = "设置默认数字证书";
const Box kChoiceCancelled{"您已经取消了加密文件夹的操作!", "信息提示", MessageIcon::Exclamation};
const Box kEncrypted{"加密成功!", "信息提示", MessageIcon::Exclamation};

class EncryptionDialog : public DialogTest {
 protected:
  HWND Open(const std::string& source, const std::string& destination) {
    dialogs::OpenEncryptionDialog(source, destination);
    return WaitForDialog(kTitle);
  }
};

std::string WindowsDirectory() {
  char dir[MAX_PATH] = "";
  GetWindowsDirectoryA(dir, MAX_PATH);
  return dir;
}

std::string TempFolder() {
  char path[MAX_PATH] = "";
  std::string folder(path, GetTempPathA(MAX_PATH, path));
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

int HeightOf(const RECT& rect) { return rect.bottom - rect.top; }

std::vector<std::string> SortedTexts(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

TEST_F(EncryptionDialog, OpensCollapsedAndExpandsOnceToItsFullHeightLessTwentyTwoWithTheEncipheringAddressBook) {
  // Made but not yet shown, so that the skin has not taken the system frame away.
  auto* dialog = new dialogs::CEdlgcomm("D:\\docs", "D:\\docs.qz");
  ASSERT_TRUE(dialog->CreateOwnWindow(IDD_ENCRYPT, nullptr));
  HWND window = dialog->Handle();
  EXPECT_EQ(Text(window, IDC_SOURCE_FOLDER), "D:\\docs");
  EXPECT_EQ(Text(window, IDC_DEST_FOLDER), "D:\\docs.qz");
  EXPECT_EQ(Text(window, IDC_CERT_NAME), "");
  EXPECT_FALSE(IsEnabled(window, IDC_CERT_NAME));
  EXPECT_FALSE(IsEnabled(window, IDC_VIEW_CERT)) << "no default certificate";
  EXPECT_EQ(WindowRectOf(window).bottom, WindowRectOf(GetDlgItem(window, IDC_OTHERS_GROUP)).top)
      << "the collapsed window ends at the top of 其他人证书";
  EXPECT_TRUE(IsShown(window, IDC_UPPER_ENCRYPT));
  EXPECT_TRUE(IsShown(window, IDC_UPPER_CANCEL));

  RECT client{}, full{0, 0, 249, 356};
  GetClientRect(window, &client);
  MapDialogRect(window, &full);
  const int frame = HeightOf(WindowRectOf(window)) - client.bottom;
  for (int press = 0; press < 2; ++press) {
    SCOPED_TRACE(press == 0 ? "first press" : "second press");
    Click(window, IDC_ADVANCED);
    EXPECT_EQ(HeightOf(WindowRectOf(window)), full.bottom + frame - 22);
    EXPECT_FALSE(IsEnabled(window, IDC_ADVANCED));
    EXPECT_FALSE(IsShown(window, IDC_UPPER_ENCRYPT));
    EXPECT_FALSE(IsShown(window, IDC_UPPER_CANCEL));
    HWND list = GetDlgItem(window, IDC_CERT_LIST);
    // carol enciphers keys; dave only agrees keys, the signer only signs, the last says nothing.
    EXPECT_EQ(Column(list, 2), std::vector<std::string>{kCarol2048}) << "one row, not added twice";
    EXPECT_EQ(Column(list, 0), std::vector<std::string>{"Carol 2048"});
    EXPECT_EQ(Column(list, 1), std::vector<std::string>{"Carol 2048"});
    EXPECT_EQ(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & 0x25, 0x25);
  }
  DestroyWindow(window);
}

TEST_F(EncryptionDialog, ShowsTheStoredDefaultCertificateAndLooksAsItShould) {
  SetDefaultCertificate(kAliceName, kAlice1024);
  HWND window = Open("D:\\docs", "D:\\docs.qz");
  ASSERT_TRUE(window);
  EXPECT_EQ(Text(window, IDC_CERT_NAME), kAliceName);
  EXPECT_FALSE(IsEnabled(window, IDC_CERT_NAME));
  EXPECT_TRUE(IsEnabled(window, IDC_VIEW_CERT));
  Screenshot("101-collapsed");
  Click(window, IDC_ADVANCED);
  Tick(GetDlgItem(window, IDC_CERT_LIST), 0);
  Screenshot("101-expanded-ticked");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(EncryptionDialog, ChoosersSetTheFoldersTheSourceReplacesTheDestinationAndACancelChangesNothing) {
  const std::string source = scratch.Path("docs"), other = scratch.Path("其他");
  MakeFolder(source, {"a.txt"});
  MakeFolder(other, {});
  HWND window = Open(source, EncryptedFolderOf(source));
  ASSERT_TRUE(window);

  std::string offered = "?";
  {
    auto answer = AnswerSaveDialog("更改密文保存于:", scratch.Path("out.qz"), &offered);
    Click(window, IDC_CHOOSE_DEST);
  }
  EXPECT_EQ(offered, "");
  EXPECT_EQ(Text(window, IDC_DEST_FOLDER), scratch.Path("out.qz.qz"));
  {
    auto answer = AnswerFolderChooser("请你选择用于加密的文件夹!", other);
    Click(window, IDC_CHOOSE_SOURCE);
  }
  EXPECT_EQ(_stricmp(Text(window, IDC_SOURCE_FOLDER).c_str(), other.c_str()), 0) << Text(window, IDC_SOURCE_FOLDER);
  EXPECT_EQ(Text(window, IDC_DEST_FOLDER), Text(window, IDC_SOURCE_FOLDER) + ".qz") << "the chosen destination is gone";

  const std::string chosenSource = Text(window, IDC_SOURCE_FOLDER), chosenDestination = Text(window, IDC_DEST_FOLDER);
  {
    auto answer = AnswerFolderChooser("请你选择用于加密的文件夹!", std::nullopt);
    Click(window, IDC_CHOOSE_SOURCE);
  }
  {
    auto answer = AnswerSaveDialog("更改密文保存于:", std::nullopt);
    Click(window, IDC_CHOOSE_DEST);
  }
  EXPECT_EQ(Text(window, IDC_SOURCE_FOLDER), chosenSource);
  EXPECT_EQ(Text(window, IDC_DEST_FOLDER), chosenDestination);
  EXPECT_EQ(Boxes(), (std::vector<Box>{kChoiceCancelled, kChoiceCancelled}));
  EXPECT_TRUE(AllOwnedBy(window));
}

TEST_F(EncryptionDialog, EncryptsWhatTheFieldsHoldForTheDefaultAndTheTickedCertificatesThenCloses) {
  const std::string source = scratch.Path("docs"), destination = scratch.Path("docs.qz");
  MakeFolder(source, {"a.txt", "报告.doc"});
  ASSERT_TRUE(CreateDirectoryA(JoinPath(source, "sub").c_str(), nullptr));
  SetDefaultCertificate(kAliceName, kAlice1024);
  HWND window = Open(source, destination);
  ASSERT_TRUE(window);
  Click(window, IDC_ADVANCED);
  Tick(GetDlgItem(window, IDC_CERT_LIST), 0);
  // Typed but never taken into the fields: the run goes by what the dialog was given.
  Type(window, IDC_SOURCE_FOLDER, scratch.Path("typed"));
  Type(window, IDC_DEST_FOLDER, scratch.Path("typed.qz"));
  Click(window, IDOK);
  ASSERT_TRUE(WaitGone(window));

  EXPECT_EQ(Boxes(), std::vector<Box>{kEncrypted});
  EXPECT_TRUE(AllOwnedBy(window));
  EXPECT_EQ(FilesIn(destination), (std::vector<std::string>{"a.txt.qz", "报告.doc.qz"}));
  EXPECT_FALSE(Exists(scratch.Path("typed.qz")));
  for (const char* name : {"a.txt", "报告.doc"}) {
    const std::string encrypted = EncryptedFilePath(destination, name);
    EXPECT_EQ(RecipientListOf(encrypted), std::string(kAlice1024) + "&" + kCarol2048 + "&");
    EXPECT_TRUE(DecryptsTo(encrypted, JoinPath(source, name), kAlice1024)) << name;
  }
}

TEST_F(EncryptionDialog, ARefusedRunLeavesTheDialogOpenForAnotherTry) {
  const std::string source = scratch.Path("docs");
  MakeFolder(source, {"a.txt"});
  HWND window = Open(source, EncryptedFolderOf(source));
  ASSERT_TRUE(window);
  const Box refused{"不能加密文件夹,您没有选择用于加密的证书!", "出错提示", MessageIcon::Error};
  Click(window, IDC_UPPER_ENCRYPT);
  ASSERT_TRUE(PumpUntil([&] { return Boxes().size() == 1; }));
  Pump(200);
  ASSERT_TRUE(IsWindow(window));
  Click(window, IDC_UPPER_ENCRYPT);
  ASSERT_TRUE(PumpUntil([&] { return Boxes().size() == 2; }));
  EXPECT_EQ(Boxes(), (std::vector<Box>{refused, refused}));
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(AllOwnedBy(window));
}

TEST_F(EncryptionDialog, AFailingFileShowsTheEncryptorsReasonAndClosesTheDialog) {
  const std::string source = scratch.Path("docs"), destination = scratch.Path("a file");
  MakeFolder(source, {"a.txt"});
  WriteBytes(destination, {1, 2, 3});  // no folder can be made where a file stands
  SetDefaultCertificate(kAliceName, kAlice1024);
  HWND window = Open(source, destination);
  ASSERT_TRUE(window);
  Click(window, IDC_UPPER_ENCRYPT);
  ASSERT_TRUE(WaitGone(window));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "出错信息");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Error);
  EXPECT_FALSE(Boxes()[0].text.empty());
}

TEST_F(EncryptionDialog, EachChangePressOpensOneMoreDefaultDialogAndTheLastSelectedRowWins) {
  HWND window = Open("D:\\docs", "D:\\docs.qz");
  ASSERT_TRUE(window);
  ASSERT_FALSE(IsEnabled(window, IDC_VIEW_CERT));
  Click(window, IDC_CHANGE_CERT);
  Click(window, IDC_CHANGE_CERT);
  std::vector<HWND> opened = DialogsTitled(kDefaultTitle);
  ASSERT_EQ(opened.size(), 2u);
  for (HWND dialog : opened) EXPECT_EQ(GetWindow(dialog, GW_OWNER), window);
  HWND first = opened[0], second = opened[1];
  HWND table = GetDlgItem(first, IDC_DEFAULT_CERT_TABLE);
  // Signature only and no key usage at all are not offered, though both are in "MY".
  EXPECT_EQ(SortedTexts(Column(table, 2)), (std::vector<std::string>{kBob2048, kAlice1024}));
  Screenshot("103-rows");

  Click(second, IDOK);
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"请你选择一个证书!", "出错提示", MessageIcon::None}}));
  EXPECT_TRUE(IsWindow(second)) << "OK without a selection keeps the dialog open";
  EXPECT_EQ(SettingsText(), "");

  Select(table, 0);
  Select(table, 1);
  const std::string lowerName = Column(table, 0)[1], lowerSerial = Column(table, 2)[1];
  Click(first, IDOK);
  ASSERT_TRUE(WaitGone(first));
  const std::string settings = SettingsText();
  const std::size_t flag = settings.find("SETCERFLG=1"), name = settings.find("CERTNAME=" + lowerName),
                    serial = settings.find("CERTSerial=" + lowerSerial);
  ASSERT_NE(serial, std::string::npos) << settings;
  EXPECT_LT(flag, name) << settings;
  EXPECT_LT(name, serial) << settings;
  EXPECT_EQ(Text(window, IDC_CERT_NAME), lowerName);
  EXPECT_TRUE(IsEnabled(window, IDC_VIEW_CERT));

  Click(second, IDCANCEL);
  ASSERT_TRUE(WaitGone(second));
  EXPECT_EQ(SettingsText(), settings) << "a cancel writes nothing";
  EXPECT_EQ(Boxes().back(), (Box{"您已经取消更改默认数字证书的操作!", "信息提示", MessageIcon::Exclamation}));
  EXPECT_EQ(boxes.Boxes().back().owner, second);
}

TEST_F(EncryptionDialog, EndingWithADefaultDialogOpenTakesItAlong) {
  HWND window = Open("D:\\docs", "D:\\docs.qz");
  ASSERT_TRUE(window);
  Click(window, IDC_CHANGE_CERT);
  HWND defaultDialog = WaitForDialog(kDefaultTitle);
  ASSERT_TRUE(defaultDialog);
  Click(window, IDC_UPPER_CANCEL);
  EXPECT_TRUE(WaitGone(window));
  EXPECT_TRUE(WaitGone(defaultDialog));
  EXPECT_TRUE(Boxes().empty());
}

struct ViewCase {
  const char* name;
  const char* certificateName;
  const char* serial;
  Box shown;
};

TEST_F(EncryptionDialog, ViewingWithoutAUsableDefaultCertificateSaysWhyAndLaunchesNothing) {
  const ViewCase cases[] = {
      {"no name", "", kAlice1024, {"您没有用于加密的证书!", "出错提示", MessageIcon::Error}},
      {"no serial", kAliceName, "", {"证书序列号为空,请查看配置文件夹是否则出错!", "出错信息", MessageIcon::Error}},
      {"not in MY", "Carol 2048", kCarol2048, {"没有找到设置的证书,可能证书已经被你删除!", "出错信息", MessageIcon::Error}},
  };
  for (const ViewCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetDefaultCertificate(c.certificateName, c.serial);
    HWND window = Open("D:\\docs", "D:\\docs.qz");
    ASSERT_TRUE(window);
    Click(window, IDC_VIEW_CERT);
    EXPECT_EQ(Boxes().back(), c.shown);
    DestroyWindow(window);
  }
  EXPECT_TRUE(launches.empty());
}

TEST_F(EncryptionDialog, ViewingWritesTheCertificateForTheViewerAndDeletesItAfterwards) {
  const std::string inWindows = WindowsDirectory() + "\\see.cer", inTemp = TempFolder() + "\\see.cer";
  const std::vector<std::uint8_t> alice = CertificateBytes(DataPath("certs/alice1024.crt"));
  SetDefaultCertificate(kAliceName, kAlice1024);
  HWND window = Open("D:\\docs", "D:\\docs.qz");
  ASSERT_TRUE(window);

  WriteBytes(inWindows, std::vector<std::uint8_t>(5000, 'x'));  // an older file of that name
  Click(window, IDC_VIEW_CERT);
  // Where the Windows directory refuses the file (here a folder stands in its place), the
  // user's temporary folder takes it.
  ASSERT_TRUE(CreateDirectoryA(inWindows.c_str(), nullptr));
  Click(window, IDC_VIEW_CERT);
  RemoveDirectoryA(inWindows.c_str());

  ASSERT_EQ(launches.size(), 2u);
  EXPECT_EQ(launches[0].commandLine, "rundll32.exe cryptext.dll CryptExtOpenCER " + inWindows);
  EXPECT_EQ(launches[1].commandLine, "rundll32.exe cryptext.dll CryptExtOpenCER " + inTemp);
  for (const Launch& launch : launches) EXPECT_EQ(launch.fileBytes, alice) << launch.commandLine;
  EXPECT_FALSE(Exists(inWindows));
  EXPECT_FALSE(Exists(inTemp));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(EncryptionDialog, CannotBeOpenedWithoutItsTemplate) {
  ui::WinApp& app = *ui::WinApp::Current();
  HINSTANCE instance = app.Instance();
  app.SetInstance(nullptr);
  EXPECT_THROW(dialogs::OpenEncryptionDialog("D:\\docs", "D:\\docs.qz"), std::runtime_error);
  app.SetInstance(instance);
  EXPECT_EQ(FindThreadDialog(kTitle), nullptr);
}

}  // namespace
}  // namespace qz::test
