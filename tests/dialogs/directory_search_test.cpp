// 查询 in the expanded encryption dialog against the test directory that ldap_fixture.py starts on
// 127.0.0.1 (its entries are listed there): the busy window, the rows, "ADDRESSBOOK" and the
// messages, and a dialog that keeps answering while a search is busy.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "cert_store.h"
#include "dialog_test_support.h"
#include "dialogs.h"
#include "directory_test_support.h"
#include "naming.h"
#include "resource.h"
#include "settings.h"
#include "win_app.h"
#include "workflow_test_support.h"

namespace qz::test {
namespace {

constexpr char kTitle[] = "文件夹加密";
constexpr char kBusyText[] = "正在查询,请稍等.....";
constexpr char kAnnEncryption[] = "5A0001";
constexpr char kAnnSigning[] = "5A0002";
constexpr DWORD kSearchLimitMs = 60000;  // a search ends within 10 s (bind) plus 30 s (search)

Box Information(const char* text) { return {text, "信息提示", MessageIcon::Information}; }

bool InAddressBook(const std::string& serial) {
  for (const Certificate& cert : ReadStore(Store::AddressBook))
    if (SerialTextsEqual(CertSerialToText(cert), serial)) return true;
  return false;
}

// The busy windows standing over the dialog.
std::vector<HWND> BusyWindowsOver(HWND dialog) {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) -> BOOL {
        auto& found = *reinterpret_cast<std::vector<HWND>*>(param);
        char text[64] = "";
        GetWindowTextA(GetWindow(window, GW_CHILD), text, sizeof text);
        if (ClassOf(window) == "#32770" && IsWindowVisible(window) && std::string(text) == kBusyText)
          found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  std::vector<HWND> over;
  for (HWND window : found)
    if (GetWindow(window, GW_OWNER) == dialog) over.push_back(window);
  return over;
}

// Whether another thread's message to the window is answered while this thread pumps.
bool Answers(HWND window) {
  std::atomic<int> answered{-1};
  std::thread probe([&] {
    DWORD_PTR result = 0;
    answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
  });
  PumpUntil([&] { return answered != -1; }, 15000);
  probe.join();
  return answered == 1;
}

std::vector<bool> Ticks(HWND list) {
  std::vector<bool> ticks;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) ticks.push_back(ListView_GetCheckState(list, row) != 0);
  return ticks;
}

class DirectorySearch : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_TRUE(ReadTestDirectory(directory)) << "run the dialog tests under tests/ldap/ldap_fixture.py";
    ForgetDirectoryCertificates();
    UseDirectory(directory.port, directory.password);
  }
  void TearDown() override {
    DialogTest::TearDown();
    ForgetDirectoryCertificates();
  }

  void UseDirectory(const std::string& port, const std::string& password) {
    const SettingsFile settings = SettingsFile::OfUser();
    ASSERT_TRUE(settings.WriteText(key::kDirectoryHost, "127.0.0.1"));
    ASSERT_TRUE(settings.WriteText(key::kDirectoryPort, port));
    ASSERT_TRUE(settings.WriteText(key::kDirectoryBindName, directory.bindName));
    ASSERT_TRUE(settings.WriteText(key::kDirectoryPassword, password));
  }

  // The dialog expanded, with the address book's one enciphering certificate listed.
  HWND OpenExpanded(const std::string& source = "D:\\docs") {
    dialogs::OpenEncryptionDialog(source, EncryptedFolderOf(source));
    HWND window = WaitForDialog(kTitle);
    if (window) Click(window, IDC_ADVANCED);
    return window;
  }

  // Presses 查询 for the text and waits until the search has said how it went.
  void Search(HWND window, const std::string& text) {
    const std::size_t shown = Boxes().size();
    Type(window, IDC_SEARCH_TEXT, text);
    Click(window, IDC_SEARCH);
    EXPECT_TRUE(PumpUntil([&] { return Boxes().size() > shown; }, kSearchLimitMs)) << text;
    EXPECT_TRUE(BusyWindowsOver(window).empty()) << "the busy window goes with the search";
  }

  TestDirectory directory;
};

TEST_F(DirectorySearch, ATextThatCannotBeSoughtIsRefusedAtOnceWithoutBusyWindowOrSearch) {
  // Any search of this directory would keep the busy window up for seconds.
  UseDirectory(directory.silentPort, directory.password);
  const struct {
    const char* name;
    std::string text;
    Box shown;
  } cases[] = {
      {"empty", "", Information("请您必需输入要查询的电子邮件!")},
      {"too long for the filter", std::string(121, 'a'), Information("要查询的电子邮件太长,不能超过120个字节!")},
  };
  HWND window = OpenExpanded();
  ASSERT_TRUE(window);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t shown = Boxes().size();
    Type(window, IDC_SEARCH_TEXT, c.text);
    Click(window, IDC_SEARCH);
    EXPECT_EQ(BoxesSince(shown), std::vector<Box>{c.shown});
    EXPECT_TRUE(BusyWindowsOver(window).empty());
  }
  EXPECT_TRUE(AllOwnedBy(window));
  EXPECT_EQ(Column(GetDlgItem(window, IDC_CERT_LIST), 2), std::vector<std::string>{kCarol2048});
}

TEST_F(DirectorySearch, AFailedSearchSaysWhyAndLeavesTheListAsItWas) {
  const struct {
    const char* name;
    const char* text;
    bool closedPort;
    bool wrongPassword;
    Box shown;
  } cases[] = {
      {"no entry", "nobody@example.com", false, false, Information("查找失败!")},
      {"closed port", "ann@example.com", true, false, Information("查找失败,可能是配置文件夹出错!")},
      {"wrong password", "ann@example.com", false, true, Information("查找失败,可能是配置文件夹出错!")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UseDirectory(c.closedPort ? directory.closedPort : directory.port,
                 c.wrongPassword ? "not-the-password" : directory.password);
    HWND window = OpenExpanded();
    ASSERT_TRUE(window);
    const std::size_t shown = Boxes().size();
    Search(window, c.text);
    EXPECT_EQ(BoxesSince(shown), std::vector<Box>{c.shown});
    EXPECT_EQ(Column(GetDlgItem(window, IDC_CERT_LIST), 2), std::vector<std::string>{kCarol2048});
    EXPECT_FALSE(InAddressBook(kAnnEncryption));
    EXPECT_EQ(boxes.Boxes().back().owner, window);
    DestroyWindow(window);
  }
}

TEST_F(DirectorySearch, TheEncryptionCertificateFoundIsAppendedUntickedAndKeptAndASecondSearchAddsNothing) {
  HWND window = OpenExpanded();
  ASSERT_TRUE(window);
  HWND list = GetDlgItem(window, IDC_CERT_LIST);
  const Box succeeded = Information("查询成功,将所查询的证书写入列表中!");

  Search(window, "ann@example.com");
  EXPECT_EQ(Boxes(), std::vector<Box>{succeeded});
  EXPECT_EQ(Column(list, 2), (std::vector<std::string>{kCarol2048, kAnnEncryption})) << "after the address book";
  EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"Carol 2048", "Ann Encryption"}));
  EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"Carol 2048", "ZaDizuvOzar Directory CA"}));
  EXPECT_EQ(Ticks(list), (std::vector<bool>{false, false}));
  EXPECT_TRUE(InAddressBook(kAnnEncryption));
  EXPECT_FALSE(InAddressBook(kAnnSigning)) << "signing only";
  Screenshot("101-after-search");

  Search(window, "ann@example.com");
  EXPECT_EQ(Boxes(), (std::vector<Box>{succeeded, succeeded}));
  EXPECT_EQ(Column(list, 2), (std::vector<std::string>{kCarol2048, kAnnEncryption}));
  EXPECT_TRUE(AllOwnedBy(window));
}

TEST_F(DirectorySearch, AFoundRowTickedIsARecipientOfTheNextRun) {
  const std::string source = scratch.Path("docs"), destination = scratch.Path("docs.qz");
  MakeFolder(source, {"a.txt"});
  SetDefaultCertificate(kAliceName, kAlice1024);
  HWND window = OpenExpanded(source);
  ASSERT_TRUE(window);
  Search(window, "ann@example.com");
  Tick(GetDlgItem(window, IDC_CERT_LIST), 1);
  Click(window, IDOK);
  ASSERT_TRUE(WaitGone(window));

  EXPECT_EQ(Boxes().back(), (Box{"加密成功!", "信息提示", MessageIcon::Exclamation}));
  const std::string encrypted = EncryptedFilePath(destination, "a.txt");
  EXPECT_EQ(RecipientListOf(encrypted), std::string(kAlice1024) + "&" + kAnnEncryption + "&");
}

TEST_F(DirectorySearch, WhileASearchIsBusyTheDialogAnswersTakesNoRunAndClosesAndTheSearchEndsUnseen) {
  const std::string source = scratch.Path("docs");
  MakeFolder(source, {"a.txt"});
  SetDefaultCertificate(kAliceName, kAlice1024);
  UseDirectory(directory.silentPort, directory.password);  // connects, then never answers the bind
  const int locksBefore = ui::ModuleLockCount();
  HWND window = OpenExpanded(source);
  ASSERT_TRUE(window);
  Type(window, IDC_SEARCH_TEXT, "ann@example.com");
  Click(window, IDC_SEARCH);

  std::vector<HWND> busy = BusyWindowsOver(window);
  ASSERT_EQ(busy.size(), 1u);
  const RECT dialogRect = WindowRectOf(window), busyRect = WindowRectOf(busy[0]);
  EXPECT_LE(std::abs((dialogRect.left + dialogRect.right) - (busyRect.left + busyRect.right)), 1);
  EXPECT_LE(std::abs((dialogRect.top + dialogRect.bottom) - (busyRect.top + busyRect.bottom)), 1);
  EXPECT_TRUE(Answers(window));
  EXPECT_TRUE(Answers(busy[0]));
  Screenshot("105-busy-over-101");

  Click(window, IDOK);
  Click(window, IDC_SEARCH);
  Pump(200);
  EXPECT_TRUE(IsWindow(window)) << "no run started";
  EXPECT_EQ(BusyWindowsOver(window), busy) << "no second search";
  EXPECT_TRUE(Boxes().empty());

  Click(window, IDCANCEL);
  EXPECT_FALSE(IsWindow(window)) << "the close does not wait for the search";
  EXPECT_FALSE(IsWindow(busy[0]));
  EXPECT_TRUE(PumpUntil([&] { return ui::ModuleLockCount() == locksBefore; }, kSearchLimitMs))
      << "the search ends in the background";
  Pump(200);
  EXPECT_TRUE(Boxes().empty()) << "nothing is shown once the dialog has gone";
  EXPECT_FALSE(Exists(EncryptedFolderOf(source)));
}

}  // namespace
}  // namespace qz::test
