// What the layer's dialogs need when they live in another program's thread (the file manager's):
// the module lock and the final message of a self-freeing dialog, creation that binds only its
// own window, subclassing that leaves later subclasses intact, keyboard handling without the
// host's IsDialogMessage, and no window, timer or GDI object left after many dialogs.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "button_looks.h"
#include "button_set.h"
#include "gui_test_support.h"
#include "resource.h"
#include "shared_gdi.h"
#include "skin_button.h"
#include "skinned_dialog.h"
#include "thread_dialogs.h"
#include "win_app.h"

namespace qz {
namespace {

using test::Pump;
using test::PumpUntil;

// What a self-freeing dialog saw in its last call, and whether it was freed.
struct FinalTrace {
  bool finalMessage = false;
  bool freed = false;
  bool heldWindowAtFinal = true;
  long locksAtFinal = -1;
  int result = 0;
};

// A dialog of the system's kind: skinned, its buttons set up from the looks table, made with new
// and freed by its final message. `endInInit` ends it during its initialisation.
class HostedDialog : public CQZGUIObj_Dialog1 {
 public:
  HostedDialog(FinalTrace& trace, const std::vector<ButtonLook>& looks, bool endInInit = false)
      : m_trace(trace), m_endInInit(endInInit), m_buttons(looks) {}
  ~HostedDialog() override { m_trace.freed = true; }

  CSkinBtn& Button(std::size_t index) { return m_buttons[index]; }

 protected:
  void DoDataExchange(ui::DataExchange& exchange) override { m_buttons.Bind(exchange); }
  BOOL OnInitDialog() override {
    CQZGUIObj_Dialog1::OnInitDialog();
    m_buttons.SetUp();
    if (m_endInInit) EndDialog(IDCANCEL);
    return TRUE;
  }
  void OnFinalMessage(HWND hwnd) override {
    m_trace.finalMessage = true;
    m_trace.heldWindowAtFinal = Handle() != nullptr || ui::Window::FromHandle(hwnd) != nullptr;
    m_trace.locksAtFinal = ui::ModuleLockCount();
    m_trace.result = Result();
    delete this;
  }

 private:
  FinalTrace& m_trace;
  bool m_endInInit;
  SkinButtonSet m_buttons;
};

HostedDialog* OpenShown(FinalTrace& trace, UINT templateId, const std::vector<ButtonLook>& looks) {
  auto* dialog = new HostedDialog(trace, looks);
  if (!dialog->Create(templateId, nullptr)) {
    delete dialog;
    return nullptr;
  }
  SetWindowPos(dialog->Handle(), nullptr, 120, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(dialog->Handle(), SW_SHOW);
  UpdateWindow(dialog->Handle());
  return dialog;
}

// ---- lifetime ------------------------------------------------------------------------------

TEST(HostedDialogLifetime, HoldsOneModuleLockFromCreationUntilAfterItsSelfFreeingFinalMessage) {
  const struct {
    const char* way;
    void (*end)(HWND dialog);
  } endings[] = {
      {"OK", [](HWND d) { test::Press(d, IDOK); }},
      {"Cancel", [](HWND d) { test::Press(d, IDCANCEL); }},
      {"close request", [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); }},
      {"destroyed by someone else", [](HWND d) { DestroyWindow(d); }},
  };
  const long before = ui::ModuleLockCount();
  for (const auto& ending : endings) {
    SCOPED_TRACE(ending.way);
    FinalTrace trace;
    HostedDialog* dialog = OpenShown(trace, IDD_DEFAULT_CERT, DefaultCertificateDialogButtons());
    ASSERT_NE(dialog, nullptr);
    HWND hwnd = dialog->Handle();
    EXPECT_EQ(ui::ModuleLockCount(), before + 1);
    ending.end(hwnd);
    ASSERT_TRUE(PumpUntil([&] { return trace.freed; }));
    EXPECT_TRUE(trace.finalMessage);
    EXPECT_FALSE(trace.heldWindowAtFinal) << "the object has let go of its window";
    EXPECT_EQ(trace.locksAtFinal, before + 1) << "the lock outlives the object's last call";
    EXPECT_EQ(ui::ModuleLockCount(), before);
    EXPECT_FALSE(IsWindow(hwnd));
  }
}

TEST(HostedDialogLifetime, FailedCreationLeavesTheObjectToItsCallerAndNoLockNorWindow) {
  const struct {
    const char* why;
    UINT templateId;
    bool endInInit;
  } failures[] = {
      {"no such template", 4711, false},
      {"ended by its own initialisation", IDD_DEFAULT_CERT, true},
  };
  const long before = ui::ModuleLockCount();
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.why);
    FinalTrace trace;
    auto* dialog = new HostedDialog(trace, DefaultCertificateDialogButtons(), failure.endInInit);
    EXPECT_FALSE(dialog->Create(failure.templateId, nullptr));
    EXPECT_EQ(dialog->Handle(), nullptr);
    EXPECT_FALSE(trace.finalMessage) << "no final message: the caller frees the object";
    EXPECT_FALSE(trace.freed);
    EXPECT_EQ(ui::ModuleLockCount(), before);
    EXPECT_EQ(test::FindThreadDialog("设置默认数字证书"), nullptr);
    delete dialog;
  }
}

TEST(HostedDialogLifetime, AnObjectThatGoesFirstTakesItsWindowAndLockWithIt) {
  const long before = ui::ModuleLockCount();
  HWND hwnd = nullptr;
  {
    CQZGUIObj_Dialog1 dialog;
    ASSERT_TRUE(dialog.Create(IDD_DEFAULT_CERT, nullptr));
    hwnd = dialog.Handle();
    EXPECT_EQ(ui::ModuleLockCount(), before + 1);
  }
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(ui::ModuleLockCount(), before);
}

// A subclass that someone else puts over a control after the layer's object.
WNDPROC g_belowForeign = nullptr;
int g_foreignCalls = 0;
LRESULT CALLBACK ForeignSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETTEXTLENGTH) ++g_foreignCalls;
  return CallWindowProcA(g_belowForeign, hwnd, message, wParam, lParam);
}

TEST(Subclassing, LeavingKeepsALaterSubclassOfTheSameWindowInTheChain) {
  CQZGUIObj_Dialog1 dialog;
  ASSERT_TRUE(dialog.Create(IDD_DEFAULT_CERT, nullptr));
  HWND ok = GetDlgItem(dialog.Handle(), IDOK);
  {
    ui::Window control;
    ASSERT_TRUE(control.Subclass(ok));
    g_belowForeign = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(ok, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignSubclass)));
  }
  EXPECT_EQ(ui::Window::FromHandle(ok), nullptr);
  g_foreignCalls = 0;
  EXPECT_EQ(ui::WindowText(ok), "确定") << "the control still answers through the whole chain";
  EXPECT_EQ(g_foreignCalls, 1) << "the later subclass is still in place";
  SetWindowLongPtrA(ok, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_belowForeign));
}

// ---- creation --------------------------------------------------------------------------------

TEST(Creation, TheHookBindsOnlyATopLevelWindowOfTheTemplatesModule) {
  FinalTrace trace;
  HostedDialog waiting(trace, {});
  HINSTANCE module = ui::ResourceInstance();
  HINSTANCE other = GetModuleHandleA("user32.dll");
  const struct {
    const char* window;
    DWORD style;
    HINSTANCE instance;
    bool alreadyBound;
    bool bound;
  } cases[] = {
      {"the dialog", WS_POPUP | WS_CAPTION, module, false, true},
      {"the dialog, no popup style", WS_OVERLAPPED, module, false, true},
      {"a control of the template", WS_CHILD | WS_VISIBLE, module, false, false},
      {"another module's window (input method, other hooks)", WS_POPUP, other, false, false},
      {"a window of the module after the dialog's", WS_POPUP, module, true, false},
  };
  for (const auto& c : cases) {
    ui::detail::PendingCreation pending{c.alreadyBound ? nullptr : &waiting, module};
    CREATESTRUCTA window{};
    window.style = static_cast<LONG>(c.style);
    window.hInstance = c.instance;
    EXPECT_EQ(ui::detail::IsPendingWindow(pending, window), c.bound) << c.window;
  }
}

TEST(Creation, ADialogCreatedByAnotherDialogsInitialisationBindsItsOwnWindow) {
  struct Outer : CQZGUIObj_Dialog1 {
    CQZGUIObj_Dialog1 inner;
    bool innerCreated = false;
    BOOL OnInitDialog() override {
      CQZGUIObj_Dialog1::OnInitDialog();
      innerCreated = inner.Create(IDD_DECRYPT, Handle());
      return TRUE;
    }
  } outer;
  ASSERT_TRUE(outer.Create(IDD_DEFAULT_CERT, nullptr));
  ASSERT_TRUE(outer.innerCreated);
  EXPECT_EQ(ui::WindowText(outer.Handle()), "设置默认数字证书");
  EXPECT_EQ(ui::WindowText(outer.inner.Handle()), "解密文件夹");
  EXPECT_EQ(ui::Window::FromHandle(outer.Handle()), &outer);
  EXPECT_EQ(ui::Window::FromHandle(outer.inner.Handle()), &outer.inner);
}

// ---- keyboard without the host's IsDialogMessage -----------------------------------------------
// The test's message pump (test::PumpUntil) is like the file manager's: GetMessage or
// PeekMessage, TranslateMessage, DispatchMessage, and no IsDialogMessage.

void PressKey(WORD key, bool shift = false) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD vk, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  if (shift) add(VK_SHIFT, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// The dialog's control that holds the focus (a combo box for its edit field).
int FocusedControl(HWND dialog) {
  HWND focus = GetFocus();
  while (focus && GetParent(focus) != dialog) focus = GetParent(focus);
  return focus ? GetDlgCtrlID(focus) : 0;
}

// Waits until the dialog's focus lies on `id`; the focus's id for the message otherwise.
int AwaitFocus(HWND dialog, int id) {
  PumpUntil([&] { return FocusedControl(dialog) == id; }, 2000);
  return FocusedControl(dialog);
}

// A shown dialog in the foreground with the focus on control `focus`, or null.
HostedDialog* OpenForTyping(FinalTrace& trace, UINT templateId, const std::vector<ButtonLook>& looks, int focus) {
  HostedDialog* dialog = OpenShown(trace, templateId, looks);
  if (!dialog) return nullptr;
  SetForegroundWindow(dialog->Handle());
  SetFocus(GetDlgItem(dialog->Handle(), focus));
  if (AwaitFocus(dialog->Handle(), focus) == focus) return dialog;
  DestroyWindow(dialog->Handle());
  return nullptr;
}

TEST(Keyboard, TabAndShiftTabFollowTheTemplatesTabOrder) {
  const struct {
    UINT templateId;
    const std::vector<ButtonLook>& looks;
    std::vector<int> order;
  } templates[] = {
      {IDD_ENCRYPT, EncryptionDialogButtons(),
       {IDCANCEL, IDOK, IDC_SOURCE_FOLDER, IDC_CHOOSE_SOURCE, IDC_DEST_FOLDER, IDC_CHOOSE_DEST,
        IDC_CERT_NAME, IDC_VIEW_CERT, IDC_CHANGE_CERT, IDC_ADVANCED, IDC_CERT_LIST, IDC_SEARCH_TEXT,
        IDC_SEARCH, IDC_UPPER_ENCRYPT, IDC_UPPER_CANCEL}},
      {IDD_DECRYPT, DecryptionDialogButtons(),
       {IDOK, IDCANCEL, IDC_ENCRYPTED_FOLDER, IDC_CHOOSE_ENCRYPTED, IDC_PLAIN_FOLDER, IDC_CHOOSE_PLAIN,
        IDC_DECRYPT_CERTS, IDC_VIEW_DECRYPT_CERT}},
  };
  for (const auto& t : templates) {
    SCOPED_TRACE(t.templateId);
    FinalTrace trace;
    HostedDialog* dialog = OpenForTyping(trace, t.templateId, t.looks, t.order.front());
    ASSERT_NE(dialog, nullptr);
    HWND hwnd = dialog->Handle();
    for (std::size_t step = 1; step <= t.order.size(); ++step) {
      int expected = t.order[step % t.order.size()];  // the last Tab wraps round to the first
      PressKey(VK_TAB);
      EXPECT_EQ(AwaitFocus(hwnd, expected), expected) << "Tab number " << step;
    }
    PressKey(VK_TAB, true);
    EXPECT_EQ(AwaitFocus(hwnd, t.order.back()), t.order.back()) << "Shift+Tab goes back";
    DestroyWindow(hwnd);
    EXPECT_TRUE(trace.freed);
  }
}

TEST(Keyboard, EscCancelsEnterPressesTheDefaultButtonOrTheOneTabbedTo) {
  const struct {
    const char* what;
    UINT templateId;
    const std::vector<ButtonLook>& looks;
    int focus;
    std::vector<WORD> keys;
    int result;
  } cases[] = {
      {"Esc in an edit box", IDD_ENCRYPT, EncryptionDialogButtons(), IDC_SOURCE_FOLDER, {VK_ESCAPE}, IDCANCEL},
      {"Esc on a button", IDD_DECRYPT, DecryptionDialogButtons(), IDC_CHOOSE_PLAIN, {VK_ESCAPE}, IDCANCEL},
      {"Enter in an edit box", IDD_ENCRYPT, EncryptionDialogButtons(), IDC_DEST_FOLDER, {VK_RETURN}, IDOK},
      {"Enter in the other template", IDD_DECRYPT, DecryptionDialogButtons(), IDC_PLAIN_FOLDER, {VK_RETURN}, IDOK},
      {"Enter on Cancel reached by Tab", IDD_DECRYPT, DecryptionDialogButtons(), IDOK, {VK_TAB, VK_RETURN}, IDCANCEL},
      {"Enter back in an edit box", IDD_ENCRYPT, EncryptionDialogButtons(), IDC_UPPER_CANCEL,
       {VK_TAB, VK_TAB, VK_TAB, VK_RETURN}, IDOK},  // Cancel, OK, then the source folder box
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FinalTrace trace;
    ASSERT_NE(OpenForTyping(trace, c.templateId, c.looks, c.focus), nullptr);
    for (WORD key : c.keys) {
      PressKey(key);
      Pump(30);
    }
    ASSERT_TRUE(PumpUntil([&] { return trace.freed; }, 3000)) << "the keys did not end the dialog";
    EXPECT_EQ(trace.result, c.result);
  }
}

TEST(Keyboard, KeysGoToTheDialogThatHoldsTheFocusOnly) {
  FinalTrace firstTrace, secondTrace;
  HostedDialog* first = OpenForTyping(firstTrace, IDD_DECRYPT, DecryptionDialogButtons(), IDC_PLAIN_FOLDER);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(OpenForTyping(secondTrace, IDD_DEFAULT_CERT, DefaultCertificateDialogButtons(), IDOK), nullptr);
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return secondTrace.freed; }));
  EXPECT_FALSE(firstTrace.freed);
  SetForegroundWindow(first->Handle());
  SetFocus(GetDlgItem(first->Handle(), IDC_PLAIN_FOLDER));
  ASSERT_EQ(AwaitFocus(first->Handle(), IDC_PLAIN_FOLDER), IDC_PLAIN_FOLDER);
  PressKey(VK_TAB);
  EXPECT_EQ(AwaitFocus(first->Handle(), IDC_CHOOSE_PLAIN), IDC_CHOOSE_PLAIN) << "still handled after the other ended";
  DestroyWindow(first->Handle());
}

void TypeCharacter(wchar_t character) {
  INPUT inputs[2]{};
  for (INPUT& input : inputs) {
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = character;
    input.ki.dwFlags = KEYEVENTF_UNICODE;
  }
  inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

// The file manager's loop is a Unicode one: GetMessageW, TranslateMessage, DispatchMessageW.
bool PumpWideUntil(const std::function<bool()>& done) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 3000) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

TEST(Keyboard, TypedTextReachesTheFocusedEditBoxWhole) {
  FinalTrace trace;
  HostedDialog* dialog = OpenForTyping(trace, IDD_ENCRYPT, EncryptionDialogButtons(), IDC_SOURCE_FOLDER);
  ASSERT_NE(dialog, nullptr);
  HWND box = GetDlgItem(dialog->Handle(), IDC_SOURCE_FOLDER);
  for (wchar_t character : std::wstring(L"D:\\文件 a")) TypeCharacter(character);
  EXPECT_TRUE(PumpWideUntil([&] { return ui::WindowText(box) == "D:\\文件 a"; })) << ui::WindowText(box);
  DestroyWindow(dialog->Handle());
}

// ---- shared GDI objects and what many dialogs leave behind -------------------------------------

TEST(SharedGdi, OneBitmapPerResourceAndOneFontForAllButtonsFreedWithTheLast) {
  HBITMAP handle = nullptr;
  {
    FinalTrace trace;
    HostedDialog* dialog = OpenShown(trace, IDD_ENCRYPT, EncryptionDialogButtons());
    ASSERT_NE(dialog, nullptr);
    std::shared_ptr<const SharedBitmap> face = LoadSharedBitmap(IDB_BUTTON);
    ASSERT_TRUE(face);
    handle = face->bitmap.get();
    long usingFace = 0;
    for (const ButtonLook& look : EncryptionDialogButtons()) usingFace += look.bitmap == IDB_BUTTON;
    EXPECT_EQ(face.use_count(), 1 + 4 * usingFace) << "every state of every button holds the one bitmap";
    EXPECT_EQ(ButtonFont().get(), ButtonFont().get());
    EXPECT_EQ(LoadSharedBitmap(4711), nullptr);
    EXPECT_NE(GetObjectType(handle), 0u);
    DestroyWindow(dialog->Handle());
    EXPECT_TRUE(trace.freed);
    EXPECT_EQ(face.use_count(), 1);
  }
  EXPECT_EQ(GetObjectType(handle), 0u) << "freed with its last user";
}

// What a process holds of the window system. GetGuiResources counts on Windows; Wine answers 0,
// so GDI handles are also counted by probing the handle table, and windows of the thread.
struct GuiHoldings {
  DWORD gdiObjects, userObjects;
  int probedGdiHandles, threadWindows;
  long moduleLocks;
  bool operator==(const GuiHoldings& o) const {
    return gdiObjects == o.gdiObjects && userObjects == o.userObjects && probedGdiHandles == o.probedGdiHandles &&
           threadWindows == o.threadWindows && moduleLocks == o.moduleLocks;
  }
};

std::ostream& operator<<(std::ostream& out, const GuiHoldings& h) {
  return out << "GDI " << h.gdiObjects << ", USER " << h.userObjects << ", probed GDI " << h.probedGdiHandles
             << ", windows " << h.threadWindows << ", module locks " << h.moduleLocks;
}

int ThreadWindows() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) -> BOOL {
        auto* n = reinterpret_cast<int*>(param);
        ++*n;
        EnumChildWindows(
            window, [](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<int*>(p), TRUE; }, param);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

GuiHoldings Holdings() {
  int probed = 0;
  for (ULONG_PTR handle = 1; handle < 0x10000; ++handle)
    probed += GetObjectType(reinterpret_cast<HGDIOBJ>(handle)) != 0;
  return {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS),
          probed, ThreadWindows(), ui::ModuleLockCount()};
}

// One use of the encryption dialog: shown, painted, the pointer over a button (its hover timer
// running), a tooltip, then ended by Esc.
void OpenUseAndEnd() {
  FinalTrace trace;
  HostedDialog* dialog = OpenForTyping(trace, IDD_ENCRYPT, EncryptionDialogButtons(), IDC_SOURCE_FOLDER);
  ASSERT_NE(dialog, nullptr);
  HWND button = dialog->Button(1).Handle();
  RECT r;
  GetWindowRect(button, &r);
  SetCursorPos(r.left + 5, r.top + 5);
  SendMessageA(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  Pump(30);
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return trace.freed; }));
}

TEST(SharedGdi, ManyOpenedAndEndedDialogsLeaveNoWindowTimerLockOrGdiObject) {
  OpenUseAndEnd();  // the first use may set up what the system keeps for good
  Pump(100);
  const GuiHoldings before = Holdings();
  for (int cycle = 0; cycle < 15; ++cycle) {
    SCOPED_TRACE(cycle);
    OpenUseAndEnd();
  }
  SetCursorPos(0, 0);
  int timerMessages = 0;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < 150) {
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) ++timerMessages;
    Pump(10);
  }
  EXPECT_EQ(timerMessages, 0) << "a timer still fires after its dialog";
  EXPECT_EQ(Holdings(), before);
}

}  // namespace
}  // namespace qz
