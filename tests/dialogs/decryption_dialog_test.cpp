// The decryption dialog driven like a person: the certificates it offers, the choosers and the
// destination rules, viewing a certificate, and the run behind 解密.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cert_store.h"
#include "certificate.h"
#include "dialog_test_support.h"
#include "dialogs.h"
#include "naming.h"
#include "resource.h"

namespace qz::test {
namespace {

constexpr char kTitle[] = "解密文件夹";
const std::string kAliceItem = std::string(kAliceName) + "(" + kAlice1024 + ")";
const std::string kBobItem = std::string(kBobName) + "(" + kBob2048 + ")";

class DecryptionDialog : public DialogTest {
 protected:
  // docs with two files, encrypted for bob and alice into docs.qz.
  void MakeEncryptedFolder() {
    MakeFolder(plain, {"a.txt", "报告.doc"});
    EncryptFolder(plain, encrypted, std::string(kBob2048) + "&" + kAlice1024 + "&");
  }
  HWND Open(const std::string& encryptedFolder, const std::string& destinationFolder) {
    dialogs::OpenDecryptionDialog(encryptedFolder, destinationFolder);
    return WaitForDialog(kTitle);
  }

  std::string plain = scratch.Path("docs"), encrypted = scratch.Path("docs.qz");
};

std::vector<std::string> ComboItems(HWND dialog) {
  std::vector<std::string> items;
  HWND combo = GetDlgItem(dialog, IDC_DECRYPT_CERTS);
  const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

int ComboSelection(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageA(dialog, IDC_DECRYPT_CERTS, CB_GETCURSEL, 0, 0));
}

std::string WindowsDirectory() {
  char dir[MAX_PATH] = "";
  GetWindowsDirectoryA(dir, MAX_PATH);
  return dir;
}

TEST_F(DecryptionDialog, OffersTheUsersRecipientsSortedAndDecryptsWithTheChosenOneIntoTheGivenFolder) {
  MakeEncryptedFolder();
  const std::string destination = scratch.Path("out");
  HWND window = Open(encrypted, destination);
  ASSERT_TRUE(window);
  EXPECT_EQ(Text(window, IDC_ENCRYPTED_FOLDER), encrypted);
  EXPECT_EQ(Text(window, IDC_PLAIN_FOLDER), destination);
  EXPECT_EQ(ComboItems(window), (std::vector<std::string>{kAliceItem, kBobItem}));
  EXPECT_EQ(ComboSelection(window), 0);
  SendDlgItemMessageA(window, IDC_DECRYPT_CERTS, CB_SHOWDROPDOWN, TRUE, 0);
  Screenshot("104-combo-open");
  SendDlgItemMessageA(window, IDC_DECRYPT_CERTS, CB_SHOWDROPDOWN, FALSE, 0);

  SendDlgItemMessageA(window, IDC_DECRYPT_CERTS, CB_SETCURSEL, 1, 0);
  Type(window, IDC_PLAIN_FOLDER, scratch.Path("typed"));  // never taken into the field
  Click(window, IDOK);
  ASSERT_TRUE(WaitGone(window));
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"解密成功!", "信息提示", MessageIcon::Information}}));
  EXPECT_TRUE(AllOwnedBy(window));
  EXPECT_FALSE(Exists(scratch.Path("typed")));
  for (const char* name : {"a.txt", "报告.doc"})
    EXPECT_EQ(ReadBytes(JoinPath(destination, name)), ReadBytes(JoinPath(plain, name))) << name;
}

TEST_F(DecryptionDialog, ChoosingTheEncryptedFolderDerivesTheDestinationAndScansAgain) {
  MakeEncryptedFolder();
  HWND window = Open("", "");
  ASSERT_TRUE(window);
  EXPECT_TRUE(ComboItems(window).empty()) << "no scan without both folders";
  {
    auto answer = AnswerFolderChooser("请你选择用于解密的文件夹!", std::nullopt);
    Click(window, IDC_CHOOSE_ENCRYPTED);
  }
  EXPECT_EQ(Text(window, IDC_ENCRYPTED_FOLDER), "");
  {
    auto answer = AnswerFolderChooser("请你选择用于解密的文件夹!", encrypted);
    Click(window, IDC_CHOOSE_ENCRYPTED);
  }
  const std::string chosen = Text(window, IDC_ENCRYPTED_FOLDER);
  EXPECT_EQ(_stricmp(chosen.c_str(), encrypted.c_str()), 0) << chosen;
  EXPECT_EQ(Text(window, IDC_PLAIN_FOLDER), chosen.substr(0, chosen.size() - 3));
  EXPECT_EQ(ComboItems(window), (std::vector<std::string>{kAliceItem, kBobItem}));
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"您已经取消了解密选择的操作!", "信息提示", MessageIcon::Information}}));
}

struct DestinationCase {
  const char* encryptedFolder;
  std::optional<std::string> answer;  // of the save dialog; nothing: cancelled
  const char* offeredName;            // null: no save dialog
  std::vector<Box> shown;
  std::string boxAfterwards;
};

TEST_F(DecryptionDialog, ChoosingTheDestinationFollowsTheEncryptedFoldersName) {
  const std::string saved = scratch.Path("plain");
  const Box cancelled{"您已经取消了解密文件夹后选择保存路径的操作!", "信息提示", MessageIcon::Exclamation};
  const DestinationCase cases[] = {
      {"", std::nullopt, nullptr, {{"请你先选择待解密的文件夹!", "信息提示", MessageIcon::Information}}, ""},
      {"D:\\docs", std::nullopt, nullptr,
       {{"您修改了Orvel加密文件夹夹的名字格式!", "出错提示", MessageIcon::Exclamation}}, ""},
      {"D:\\docs.qz", saved, "docs", {}, saved},
      // A cancel leaves the box as it was, though the destination has become D:\a.
      {"D:\\a.qz\\sub", std::nullopt, "", {cancelled}, ""},
  };
  for (const DestinationCase& c : cases) {
    SCOPED_TRACE(c.encryptedFolder);
    const std::size_t before = Boxes().size();
    HWND window = Open(c.encryptedFolder, "");
    ASSERT_TRUE(window);
    std::string offered = "(no save dialog)";
    {
      auto answer = AnswerSaveDialog("更改密文保存于:", c.answer, &offered);
      Click(window, IDC_CHOOSE_PLAIN);
    }
    EXPECT_EQ(offered, c.offeredName ? c.offeredName : "(no save dialog)");
    EXPECT_EQ(BoxesSince(before), c.shown);
    EXPECT_EQ(Text(window, IDC_PLAIN_FOLDER), c.boxAfterwards);
    DestroyWindow(window);
  }
}

TEST_F(DecryptionDialog, ACancelledSaveStillLeavesTheDerivedDestinationForTheRun) {
  const std::string encryptedSub = JoinPath(scratch.Path("a.qz"), "sub");
  HWND window = Open(encryptedSub, "");
  ASSERT_TRUE(window);
  {
    auto answer = AnswerSaveDialog("更改密文保存于:", std::nullopt);
    Click(window, IDC_CHOOSE_PLAIN);
  }
  // The run makes the destination before it finds that no certificate is offered.
  Click(window, IDOK);
  ASSERT_TRUE(PumpUntil([&] { return Boxes().size() == 2; }));
  EXPECT_EQ(Boxes().back(), (Box{"没有证书可用来解密!", "信息提示", MessageIcon::Error}));
  EXPECT_TRUE(Exists(scratch.Path("a")));
  Pump(200);
  EXPECT_TRUE(IsWindow(window)) << "a refusal leaves the dialog open";
}

TEST_F(DecryptionDialog, ViewingWritesTheChosenCertificateForTheViewerOrSaysWhyNot) {
  MakeEncryptedFolder();
  HWND empty = Open("", "");
  ASSERT_TRUE(empty);
  Click(empty, IDC_VIEW_DECRYPT_CERT);
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"没有可用于解密的证书，不能查看!", "错误提示", MessageIcon::Information}}));
  DestroyWindow(empty);

  HWND window = Open(encrypted, plain);
  ASSERT_TRUE(window);
  const std::string inWindows = WindowsDirectory() + "\\sne.cer";
  Click(window, IDC_VIEW_DECRYPT_CERT);
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].commandLine, "rundll32.exe cryptext.dll CryptExtOpenCER " + inWindows);
  EXPECT_EQ(launches[0].fileBytes, CertificateBytes(DataPath("certs/alice1024.crt")));
  EXPECT_FALSE(Exists(inWindows));

  // Removed from "MY" since the scan offered it.
  ASSERT_TRUE(RemoveFromStore(Store::My, kAlice1024));
  Click(window, IDC_VIEW_DECRYPT_CERT);
  InstallTestCertificates();
  EXPECT_EQ(launches.size(), 1u);
  EXPECT_EQ(Boxes().back(), (Box{"没有找到设置的证书,可能证书已经被你删除!", "出错信息", MessageIcon::Error}));
  EXPECT_EQ(boxes.Boxes().back().owner, window);
}

}  // namespace
}  // namespace qz::test
