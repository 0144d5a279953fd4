// The Windows side on a Western Windows (ANSI code page 1252): the system's own texts, compiled
// as code-page-936 bytes, reach the screen as the Chinese they are, while paths and names in the
// ANSI code page go through the dialogs and the folder runs unharmed. A file whose name that code
// page cannot hold stops a run with the engine's open error.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "button_looks.h"
#include "common_dialogs.h"
#include "decryption_run.h"
#include "display_text.h"
#include "encryption_run.h"
#include "failure.h"
#include "gui_test_support.h"
#include "message_boxes.h"
#include "naming.h"
#include "narrow_text.h"
#include "wide_text.h"
#include "resource.h"
#include "run_messages.h"
#include "settings.h"
#include "skin_button.h"
#include "skinned_dialog.h"
#include "workflow_test_support.h"

namespace qz {
namespace {

TEST(CodePage, IsTheWesternOne) {
  ASSERT_EQ(GetACP(), 1252u) << "the prefix must run under a Western locale, or these tests show nothing";
}

// ---- our texts on the screen --------------------------------------------------------------

struct ShownBox {
  std::wstring text, caption;
};

ShownBox ShowAndRead(const std::string& text, const std::string& caption) {
  ShownBox shown;
  test::ModalAnswerer answer([&] {
    HWND box = test::FindThreadWindow(
        [](HWND window) { return test::ClassOf(window) == "#32770" && IsWindowVisible(window); });
    if (!box) return false;
    shown = {ui::WideWindowText(GetDlgItem(box, 0xFFFF)), ui::WideWindowText(box)};
    test::Press(box, IDOK);
    return true;
  });
  ui::SystemMessageBoxes boxes;
  EXPECT_EQ(boxes.Show(nullptr, text, caption, MessageIcon::Information), IDOK);
  return shown;
}

TEST(MessageBoxes, ShowTheRunsAndTheEnginesTextsAsChinese) {
  const struct {
    const char* text;
    const char* caption;
    std::wstring expectedText, expectedCaption;
  } rows[] = {
      {message::kEncrypted, caption::kInformation, L"加密成功!", L"信息提示"},
      {message::kNoDecryptCertificate, caption::kInformation, L"没有证书可用来解密!", L"信息提示"},
      {text::kOpenSource, caption::kEngineFailure,
       L"打开加密文件时出错,请检查你输入加密的路径参数是否正确!", L"出错信息"},
      {text::kOpenEncrypted, caption::kDecryptFailure, L"打开解密文件时出错!", L"错误提示"},
      {message::kNoSourceFolder, caption::kRefused, L"不能加密文件夹夹,您没有选择待加密的文件夹!", L"出错提示"},
  };
  for (const auto& row : rows) {
    ShownBox shown = ShowAndRead(row.text, row.caption);
    EXPECT_EQ(shown.text, row.expectedText);
    EXPECT_EQ(shown.caption, row.expectedCaption);
  }
}

// The encryption dialog's template with its buttons skinned as the dialog does it.
class EncryptionLook : public CQZGUIObj_Dialog1 {
 public:
  EncryptionLook() : CQZGUIObj_Dialog1(nullptr) {
    for (std::size_t i = 0; i < looks.size(); ++i) buttons.emplace_back();
  }
  std::string source;
  const std::vector<ButtonLook>& looks = EncryptionDialogButtons();
  std::deque<CSkinBtn> buttons;

 protected:
  void DoDataExchange(ui::DataExchange& exchange) override {
    exchange.Text(IDC_SOURCE_FOLDER, source);
    for (std::size_t i = 0; i < looks.size(); ++i) exchange.Control(looks[i].id, buttons[i]);
  }
  BOOL OnInitDialog() override {
    CQZGUIObj_Dialog1::OnInitDialog();
    for (std::size_t i = 0; i < looks.size(); ++i) SetUpDialogButton(buttons[i], looks[i].bitmap, looks[i].caption);
    return TRUE;
  }
};

std::vector<std::wstring> ChildTexts(HWND parent) {
  std::vector<std::wstring> texts;
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM found) -> BOOL {
        reinterpret_cast<std::vector<std::wstring>*>(found)->push_back(ui::WideWindowText(child));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

std::wstring ToolTipText(HWND owner, HWND button) {
  wchar_t text[80] = L"";
  test::FindThreadWindow([&](HWND window) {
    if (_stricmp(test::ClassOf(window).c_str(), TOOLTIPS_CLASSA) != 0) return false;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = text;
    SendMessageW(window, TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&tool));
    return *text != L'\0';
  });
  return text;
}

TEST(SkinnedDialog, ShowsTitleLabelsCaptionsAndTooltipsAsChineseAndPathsAsTheyCame) {
  EncryptionLook dialog;
  dialog.source = "C:\\docs\\Caf\xE9";
  ASSERT_TRUE(dialog.Create(IDD_ENCRYPT, nullptr));
  EXPECT_EQ(ui::WideWindowText(dialog.Handle()), L"文件夹加密");
  const std::vector<std::wstring> texts = ChildTexts(dialog.Handle());
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"电子邮件："), texts.end()) << "a label of the template";

  const struct {
    int id;
    std::wstring caption;
  } buttons[] = {{IDOK, L"加密"}, {IDC_ADVANCED, L"高级设置..."}, {IDC_VIEW_CERT, L"查看证书"}};
  for (const auto& button : buttons) {
    HWND item = GetDlgItem(dialog.Handle(), button.id);
    EXPECT_EQ(ui::WideWindowText(item), button.caption);
    EXPECT_EQ(ToolTipText(dialog.Handle(), item), button.caption);
  }

  EXPECT_EQ(ui::WideWindowText(GetDlgItem(dialog.Handle(), IDC_SOURCE_FOLDER)), L"C:\\docs\\Café");
  dialog.source.clear();
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.source, "C:\\docs\\Caf\xE9") << "the path comes back in the ANSI code page";
  DestroyWindow(dialog.Handle());
}

constexpr int kFileNameBox = 0x47C;   // cmb13: the file name box of the system's file dialogs
constexpr int kFileTypeList = 0x470;  // cmb1

TEST(FileDialogs, ShowTitleAndFilterAsChineseAndReturnTheChosenPathInTheAnsiCodePage) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring chosen = std::wstring(temp) + L"Café.qz";
  std::wstring firstType;
  test::ModalAnswerer answer([&] {
    HWND dialog = test::FindThreadWindow([](HWND window) {
      return test::ClassOf(window) == "#32770" && IsWindowVisible(window) &&
             ui::WideWindowText(window) == L"更改密文保存于:";
    });
    if (!dialog) return false;
    wchar_t type[64] = L"";
    SendDlgItemMessageW(dialog, kFileTypeList, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(type));
    firstType = type;
    SetDlgItemTextW(dialog, kFileNameBox, chosen.c_str());
    test::Press(dialog, IDOK);
    return true;
  });
  ui::FileDialogOptions options;
  options.title = "更改密文保存于:";
  options.filter = "加密文件(*.qz)|*.qz";
  std::optional<std::string> result = ui::ChooseFileToSave(nullptr, options);
  EXPECT_EQ(firstType, L"加密文件(*.qz)");
  EXPECT_EQ(result, NarrowFromWide(chosen, CP_ACP));
}

// ---- paths in the ANSI code page through the runs ------------------------------------------

constexpr char kAliceItem[] = "Alice 1024(0A1B)";
constexpr char kCafe[] = "Caf\xE9";
constexpr char kNaive[] = "na\xEFve.txt";

class FolderRuns : public test::WithTestCertificates {
 protected:
  FolderRuns() { settings.WriteText(key::kCertSerial, test::kAlice1024); }

  RunEnd Encrypt(const std::string& source, const std::string& destination) {
    return OnEncrypt({source, destination, "Alice 1024", {}}, settings, sink);
  }
  RunEnd Decrypt(const std::string& encrypted, const std::string& destination) {
    return OnDecrypt({encrypted, destination, ListEncryptedFiles(encrypted), kAliceItem}, sink);
  }
  // A file made through the wide functions, under a name the ANSI code page need not hold.
  void MakeWideFile(const std::string& folder, const std::wstring& name, const std::string& content) {
    const std::wstring path = WideFromNarrow(folder, CP_ACP) + L"\\" + name;
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
  }

  test::ScratchDir dir;
  const SettingsFile settings{dir.Path(kSettingsFileName)};
  test::RecordingSink sink;
};

TEST_F(FolderRuns, LatinFolderAndFileNamesGoThereAndBack) {
  const std::string source = dir.Path(kCafe);
  test::MakeFolderWithFiles(source, {kNaive});
  ASSERT_EQ(Encrypt(source, EncryptedFolderOf(source)), RunEnd::Succeeded);
  EXPECT_EQ(test::FileNamesIn(dir.Path("Caf\xE9.qz")), std::vector<std::string>{"na\xEFve.txt.qz"});

  ASSERT_EQ(Decrypt(dir.Path("Caf\xE9.qz"), dir.Path("plain")), RunEnd::Succeeded);
  EXPECT_EQ(test::ContentOf(JoinPath(dir.Path("plain"), kNaive)), kNaive);
  const std::vector<test::ShownMessage> expected = {
      {message::kEncrypted, caption::kInformation, MessageIcon::Exclamation},
      {message::kDecrypted, caption::kInformation, MessageIcon::Information}};
  EXPECT_EQ(sink.shown, expected);
}

// Names code page 1252 cannot hold: an emoji, Chinese, and a letter whose best-fit look-alike
// would name the file beside it (ā as a).
const std::wstring kForeignNames[] = {L"\U0001F600.txt", L"中文.txt", L"\u0101.txt"};

TEST_F(FolderRuns, FileWhoseNameTheCodePageCannotHoldStopsTheEncryptionWithTheOpenError) {
  for (const std::wstring& name : kForeignNames) {
    test::ScratchDir run;
    const std::string source = run.Path("docs");
    test::MakeFolderWithFiles(source, {"a.txt"});
    MakeWideFile(source, name, "secret");
    sink.shown.clear();
    EXPECT_EQ(Encrypt(source, run.Path("docs.qz")), RunEnd::Failed);
    const std::vector<test::ShownMessage> expected = {
        {text::kOpenSource, caption::kEngineFailure, MessageIcon::Error}};
    EXPECT_EQ(sink.shown, expected);
    // a.txt may come first in the listing and be done before the run stops.
    for (const std::string& written : test::FileNamesIn(run.Path("docs.qz")))
      EXPECT_EQ(written, "a.txt.qz") << "nothing written under a '?' name";
  }
}

TEST_F(FolderRuns, FileWhoseNameTheCodePageCannotHoldStopsTheDecryptionWithTheOpenError) {
  const std::string source = dir.Path("docs");
  test::MakeFolderWithFiles(source, {"a.txt"});
  ASSERT_EQ(Encrypt(source, dir.Path("docs.qz")), RunEnd::Succeeded);
  const std::vector<std::uint8_t> encrypted = test::ReadBytes(dir.Path("docs.qz\\a.txt.qz"));
  for (const std::wstring& name : kForeignNames) {
    test::ScratchDir run;
    const std::string folder = run.Path("docs.qz");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    MakeWideFile(folder, name + L".qz", std::string(encrypted.begin(), encrypted.end()));
    sink.shown.clear();
    EXPECT_EQ(Decrypt(folder, run.Path("plain")), RunEnd::Failed);
    const std::vector<test::ShownMessage> expected = {
        {text::kOpenEncrypted, caption::kDecryptFailure, MessageIcon::Information}};
    EXPECT_EQ(sink.shown, expected);
    EXPECT_TRUE(test::FileNamesIn(run.Path("plain")).empty()) << "nothing written under a '?' name";
  }
}

}  // namespace
}  // namespace qz
