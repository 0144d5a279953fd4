// The window layer on real dialogs of the library's templates: creation, message maps, data
// exchange, ending, control wrappers, message boxes and the system's choosers.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common_dialogs.h"
#include "controls.h"
#include "dialog.h"
#include "gui_test_support.h"
#include "message_boxes.h"
#include "resource.h"
#include "skin_button.h"
#include "win_app.h"

namespace qz {
namespace {

using test::Pump;
using test::PumpUntil;

// The two folder boxes of the decryption template, exchanged with two text fields.
class FoldersDialog : public ui::Dialog {
 public:
  FoldersDialog() : Dialog(IDD_DECRYPT, nullptr) {}
  std::string encrypted, plain;
  int missingId = 0;  // a control the exchange names although the template has none

 protected:
  void DoDataExchange(ui::DataExchange& exchange) override {
    exchange.Text(IDC_ENCRYPTED_FOLDER, encrypted);
    exchange.Text(IDC_PLAIN_FOLDER, plain);
    if (missingId) exchange.Text(missingId, plain);
  }
};

std::string ItemText(const ui::Dialog& dialog, int id) { return ui::WindowText(GetDlgItem(dialog.Handle(), id)); }

TEST(DataExchange, FillsTheBoxesFromTheFieldsWhenCreatedAndReadsThemBackOnRequest) {
  FoldersDialog dialog;
  dialog.encrypted = "D:\\文件\\docs.qz";
  dialog.plain = "D:\\文件\\docs";
  ASSERT_TRUE(dialog.Create());
  EXPECT_EQ(ItemText(dialog, IDC_ENCRYPTED_FOLDER), "D:\\文件\\docs.qz");
  EXPECT_EQ(ItemText(dialog, IDC_PLAIN_FOLDER), "D:\\文件\\docs");

  SetDlgItemTextA(dialog.Handle(), IDC_PLAIN_FOLDER, "E:\\明文");
  EXPECT_EQ(dialog.plain, "D:\\文件\\docs") << "typing alone does not reach the field";
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.plain, "E:\\明文");

  dialog.encrypted = "F:\\x.qz";
  ASSERT_TRUE(dialog.UpdateData(false));
  EXPECT_EQ(ItemText(dialog, IDC_ENCRYPTED_FOLDER), "F:\\x.qz");
  DestroyWindow(dialog.Handle());
}

TEST(DataExchange, ReportsAControlTheTemplateDoesNotHave) {
  FoldersDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.missingId = 4711;
  EXPECT_FALSE(dialog.UpdateData(true));
  DestroyWindow(dialog.Handle());
}

TEST(Dialog, OkExchangesThenEndsAndCancelEndsWithoutExchange) {
  for (int command : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(command);
    FoldersDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowWindow(dialog.Handle(), SW_SHOW);
    SetDlgItemTextA(dialog.Handle(), IDC_PLAIN_FOLDER, "typed");
    test::Press(dialog.Handle(), command);
    ASSERT_TRUE(PumpUntil([&] { return dialog.Result() != 0; }));
    EXPECT_EQ(dialog.Result(), command);
    EXPECT_EQ(dialog.Handle(), nullptr) << "ending destroys the window";
    EXPECT_EQ(dialog.plain, command == IDOK ? "typed" : "");
  }
}

TEST(Dialog, WithoutParentIsOwnedByTheActiveWindow) {
  FoldersDialog first;
  ASSERT_TRUE(first.Create());
  ShowWindow(first.Handle(), SW_SHOW);
  SetActiveWindow(first.Handle());
  ASSERT_EQ(GetActiveWindow(), first.Handle());
  FoldersDialog second;
  ASSERT_TRUE(second.Create());
  EXPECT_EQ(GetWindow(second.Handle(), GW_OWNER), first.Handle());
  DestroyWindow(second.Handle());
  DestroyWindow(first.Handle());
}

TEST(Dialog, CannotBeCreatedFromAMissingTemplate) {
  FoldersDialog dialog;
  EXPECT_FALSE(dialog.Create(4711, nullptr));
  EXPECT_EQ(dialog.Handle(), nullptr);
}

// Message maps: a derived class's entries come first, then those of its bases.
class CommandsDialog : public ui::Dialog {
 public:
  CommandsDialog() : Dialog(IDD_DEFAULT_CERT, nullptr) {}
  std::vector<std::string> calls;
  static const ui::MessageMap& ClassMessageMap() {
    static const ui::MessageMap map{&Dialog::ClassMessageMap(),
                                    {
                                        ui::OnCommand<&CommandsDialog::OnOwnCancel>(IDCANCEL),
                                        ui::OnCommand<&CommandsDialog::OnTableChange>(IDC_DEFAULT_CERT_TABLE, EN_CHANGE),
                                        ui::OnCommand<&CommandsDialog::OnFailing>(4000),
                                    }};
    return map;
  }

 protected:
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }

 private:
  void OnOwnCancel() { calls.push_back("own cancel"); }
  void OnTableChange() { calls.push_back("table change"); }
  void OnFailing() { throw std::runtime_error("handler failed"); }
};

class MoreCommandsDialog : public CommandsDialog {
 public:
  static const ui::MessageMap& ClassMessageMap() {
    static const ui::MessageMap map{&CommandsDialog::ClassMessageMap(),
                                    {ui::OnCommand<&MoreCommandsDialog::OnExtra>(4001)}};
    return map;
  }

 protected:
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }

 private:
  void OnExtra() { calls.push_back("extra"); }
};

void Command(const ui::Dialog& dialog, int id, int code = BN_CLICKED) {
  SendMessageA(dialog.Handle(), WM_COMMAND, MAKEWPARAM(id, code), 0);
}

TEST(MessageMap, ReachesEachLevelOfTheClassChainForItsOwnCommandAndCode) {
  MoreCommandsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  ShowWindow(dialog.Handle(), SW_SHOW);
  Command(dialog, 4001);
  Command(dialog, IDC_DEFAULT_CERT_TABLE, EN_CHANGE);
  Command(dialog, IDC_DEFAULT_CERT_TABLE, BN_CLICKED);  // another notification: nobody's
  Command(dialog, IDCANCEL);
  EXPECT_EQ(dialog.calls, (std::vector<std::string>{"extra", "table change", "own cancel"}));
  EXPECT_EQ(dialog.Result(), 0) << "the derived cancel handler replaces the base's";
  Command(dialog, IDOK);
  EXPECT_EQ(dialog.Result(), IDOK) << "OK falls through to the base";
  DestroyWindow(dialog.Handle());
}

TEST(MessageMap, AFailingHandlerEndsItsMessageAndTheDialogGoesOn) {
  CommandsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  Command(dialog, 4000);
  Command(dialog, IDCANCEL);
  EXPECT_EQ(dialog.calls, std::vector<std::string>{"own cancel"});
  DestroyWindow(dialog.Handle());
}

// Binding controls: a skinned button becomes owner-drawn and belongs to its object once.
class BoundDialog : public ui::Dialog {
 public:
  BoundDialog() : Dialog(IDD_DEFAULT_CERT, nullptr) {}
  CSkinBtn ok;
  ui::ListView table;
  ui::Window* secondOwnerOfOk = nullptr;

 protected:
  void DoDataExchange(ui::DataExchange& exchange) override {
    exchange.Control(IDOK, ok);
    exchange.Control(IDC_DEFAULT_CERT_TABLE, table);
    if (secondOwnerOfOk) exchange.Control(IDOK, *secondOwnerOfOk);
  }
};

TEST(ControlBinding, SubclassesOnceAndMakesSkinnedButtonsOwnerDrawn) {
  BoundDialog dialog;
  ASSERT_TRUE(dialog.Create());
  HWND ok = GetDlgItem(dialog.Handle(), IDOK);
  EXPECT_EQ(dialog.ok.Handle(), ok);
  EXPECT_EQ(ui::Window::FromHandle(ok), &dialog.ok);
  EXPECT_EQ(GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_TRUE(dialog.UpdateData(true)) << "binding again changes nothing";

  ui::Window other;
  dialog.secondOwnerOfOk = &other;
  EXPECT_FALSE(dialog.UpdateData(true));
  EXPECT_EQ(ui::Window::FromHandle(ok), &dialog.ok);
  DestroyWindow(dialog.Handle());
  EXPECT_EQ(dialog.ok.Handle(), nullptr) << "the object lets go of a destroyed window";
}

// ---- list view and combo box ----------------------------------------------------------

TEST(ListView, KeepsItsStylesAndRowsCellsSelectionAndChecks) {
  BoundDialog dialog;
  ASSERT_TRUE(dialog.Create());
  ui::ListView& table = dialog.table;
  SendMessageA(table.Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_HEADERDRAGDROP);
  table.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  EXPECT_EQ(SendMessageA(table.Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
            LVS_EX_HEADERDRAGDROP | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);

  EXPECT_EQ(table.InsertColumn(0, "颁发给", LVCFMT_CENTER, 150), 0);
  EXPECT_EQ(table.InsertColumn(1, "颁发者", LVCFMT_LEFT, 150), 1);
  EXPECT_EQ(table.InsertColumn(2, "证书序列号", LVCFMT_LEFT, 150), 2);
  const std::string longName(600, 'n');
  ASSERT_EQ(table.InsertItem(0, "Finance Office"), 0);
  ASSERT_EQ(table.InsertItem(1, "张三"), 1);
  EXPECT_TRUE(table.SetItemText(0, 1, "Test CA"));
  EXPECT_TRUE(table.SetItemText(0, 2, "01A2"));
  EXPECT_TRUE(table.SetItemText(1, 1, longName));
  EXPECT_EQ(table.ItemCount(), 2);
  EXPECT_EQ(table.ItemText(0, 0), "Finance Office");
  EXPECT_EQ(table.ItemText(0, 1), "Test CA");
  EXPECT_EQ(table.ItemText(0, 2), "01A2");
  EXPECT_EQ(table.ItemText(1, 0), "张三");
  EXPECT_EQ(table.ItemText(1, 1), longName) << "texts longer than the first buffer";
  EXPECT_EQ(table.ItemText(1, 2), "");

  LVITEMA state{};
  state.stateMask = LVIS_SELECTED;
  state.state = LVIS_SELECTED;
  SendMessageA(table.Handle(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
  ListView_SetCheckState(table.Handle(), 0, TRUE);
  EXPECT_FALSE(table.IsSelected(0));
  EXPECT_TRUE(table.IsSelected(1));
  EXPECT_TRUE(table.IsChecked(0));
  EXPECT_FALSE(table.IsChecked(1));
  DestroyWindow(dialog.Handle());
}

class ComboDialog : public ui::Dialog {
 public:
  ComboDialog() : Dialog(IDD_DECRYPT, nullptr) {}
  ui::ComboBox certificates;

 protected:
  void DoDataExchange(ui::DataExchange& exchange) override { exchange.Control(IDC_DECRYPT_CERTS, certificates); }
};

TEST(ComboBox, SortsItemsAndReadsTheSelection) {
  ComboDialog dialog;
  ASSERT_TRUE(dialog.Create());
  ui::ComboBox& list = dialog.certificates;
  EXPECT_EQ(list.CurrentSelection(), -1);
  EXPECT_FALSE(list.SetCurrentSelection(0)) << "nothing to select in an empty list";
  EXPECT_EQ(list.AddString("b(02)"), 0);
  EXPECT_EQ(list.AddString("a(01)"), 0) << "sorted in front";
  EXPECT_EQ(list.Count(), 2);
  EXPECT_TRUE(list.SetCurrentSelection(1));
  EXPECT_EQ(list.CurrentSelection(), 1);
  EXPECT_EQ(list.ItemText(1), "b(02)");
  EXPECT_EQ(list.ItemText(0), "a(01)");
  EXPECT_EQ(list.ItemText(2), "");
  DestroyWindow(dialog.Handle());
}

// ---- message boxes ------------------------------------------------------------------------

class RecordedBoxes : public ::testing::Test {
 protected:
  RecordedBoxes() { ui::WinApp::Current()->SetMessages(&boxes); }
  ~RecordedBoxes() override { ui::WinApp::Current()->SetMessages(nullptr); }
  ui::RecordingMessageBoxes boxes{IDOK};
};

TEST_F(RecordedBoxes, RecordEveryBoxOfADialogAndOfItsRunsAndAnswerThem) {
  FoldersDialog dialog;
  ASSERT_TRUE(dialog.Create());
  EXPECT_EQ(dialog.ShowMessage("您没有用于加密的证书!", "出错提示", MessageIcon::Error), IDOK);
  ui::OwnedMessageSink sink(dialog.Handle());
  sink.Show("加密成功!", "信息提示", MessageIcon::Information);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[0].owner, dialog.Handle());
  EXPECT_EQ(boxes.Boxes()[0].text, "您没有用于加密的证书!");
  EXPECT_EQ(boxes.Boxes()[0].caption, "出错提示");
  EXPECT_EQ(boxes.Boxes()[0].icon, MessageIcon::Error);
  EXPECT_EQ(boxes.Boxes()[1].owner, dialog.Handle());
  EXPECT_EQ(boxes.Boxes()[1].text, "加密成功!");
  EXPECT_EQ(boxes.Boxes()[1].icon, MessageIcon::Information);
  DestroyWindow(dialog.Handle());
}

TEST(SystemMessageBoxes, ShowARealBoxWithTextCaptionAndIconOwnedByTheDialog) {
  FoldersDialog dialog;
  ASSERT_TRUE(dialog.Create());
  ShowWindow(dialog.Handle(), SW_SHOW);
  std::string shownText;
  HWND owner = nullptr;
  HICON icon = nullptr;
  test::ModalAnswerer answer([&] {
    HWND box = test::FindThreadDialog("信息提示");
    if (!box) return false;
    shownText = ui::WindowText(GetDlgItem(box, 0xFFFF));
    owner = GetWindow(box, GW_OWNER);
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
          if (auto shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)))
            *reinterpret_cast<HICON*>(found) = shown;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&icon));
    test::Press(box, IDOK);
    return true;
  });
  ui::SystemMessageBoxes boxes;
  EXPECT_EQ(boxes.Show(dialog.Handle(), "您已经取消了加密文件夹的操作!", "信息提示", MessageIcon::Exclamation), IDOK);
  EXPECT_EQ(shownText, "您已经取消了加密文件夹的操作!");
  EXPECT_EQ(owner, dialog.Handle());
  EXPECT_NE(icon, nullptr);
  DestroyWindow(dialog.Handle());
}

// ---- file and folder choosers -------------------------------------------------------------

std::string TempFolder() {
  char path[MAX_PATH];
  DWORD length = GetTempPathA(MAX_PATH, path);
  std::string folder(path, length);
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

constexpr int kFileNameBox = 0x47C;    // cmb13: the file name box of the system's file dialogs
constexpr int kFileTypeList = 0x470;   // cmb1

struct FileDialogCase {
  const char* name;
  std::optional<std::string> (*choose)(HWND, const ui::FileDialogOptions&);
};

TEST(FileDialogs, ShowTitleFilterAndInitialNameAndReturnTheChosenPathOrNothing) {
  const FileDialogCase cases[] = {{"open", &ui::ChooseFileToOpen}, {"save", &ui::ChooseFileToSave}};
  const std::string chosen = TempFolder() + "\\qz-chosen.qz";
  for (const FileDialogCase& c : cases) {
    for (bool confirm : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (confirm ? " confirmed" : " cancelled"));
      std::string initialName, firstType;
      test::ModalAnswerer answer([&] {
        HWND dialog = test::FindThreadDialog("更改密文保存于:");
        if (!dialog) return false;
        initialName = ui::WindowText(GetDlgItem(dialog, kFileNameBox));
        char type[64] = "";
        SendDlgItemMessageA(dialog, kFileTypeList, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(type));
        firstType = type;
        SetDlgItemTextA(dialog, kFileNameBox, chosen.c_str());
        test::Press(dialog, confirm ? IDOK : IDCANCEL);
        return true;
      });
      ui::FileDialogOptions options;
      options.title = "更改密文保存于:";
      // 東 is 96 7C in code page 936: its trail byte is the separator '|'.
      options.filter = "東(*.qz)|*.qz";
      options.initialName = "docs";
      std::optional<std::string> result = c.choose(nullptr, options);
      EXPECT_EQ(initialName, "docs");
      EXPECT_EQ(firstType, "東(*.qz)");
      if (confirm)
        EXPECT_EQ(result, chosen);
      else
        EXPECT_EQ(result, std::nullopt);
    }
  }
}

// The chooser shows its title as a text inside the window.
HWND FindFolderChooser(const std::string& title) {
  return test::FindThreadWindow([&](HWND window) {
    if (!IsWindowVisible(window)) return false;
    std::pair<const std::string*, bool> titled{&title, false};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
          auto* found = reinterpret_cast<std::pair<const std::string*, bool>*>(param);
          found->second = ui::WindowText(child) == *found->first;
          return !found->second;
        },
        reinterpret_cast<LPARAM>(&titled));
    return titled.second;
  });
}

TEST(FolderChooser, ReturnsTheChosenFolderOrNothingWhenCancelled) {
  const std::string folder = TempFolder();
  for (bool confirm : {true, false}) {
    SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
    test::ModalAnswerer answer([&] {
      HWND chooser = FindFolderChooser("请你选择用于加密的文件夹!");
      if (!chooser) return false;
      SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
      test::Press(chooser, confirm ? IDOK : IDCANCEL);
      return true;
    });
    std::optional<std::string> result = ui::ChooseFolder(nullptr, "请你选择用于加密的文件夹!");
    if (confirm) {
      ASSERT_TRUE(result);
      EXPECT_EQ(_stricmp(result->c_str(), folder.c_str()), 0) << *result;
    } else {
      EXPECT_EQ(result, std::nullopt);
    }
  }
}

}  // namespace
}  // namespace qz
