#include "dialog.h"

#include <commctrl.h>

#include <utility>

#include "handles.h"
#include "message_boxes.h"
#include "thread_dialogs.h"
#include "win_app.h"

namespace qz::ui {
namespace {
// Announces the dialog whose window the creation hook of this thread is to bind, for the
// length of one Create call.
class CreationScope {
 public:
  CreationScope(Dialog& dialog, HINSTANCE instance)
      : m_pending{&dialog, instance}, m_previous(detail::ExchangePendingCreation(&m_pending)) {}
  ~CreationScope() { detail::ExchangePendingCreation(m_previous); }
  CreationScope(const CreationScope&) = delete;
  CreationScope& operator=(const CreationScope&) = delete;

 private:
  detail::PendingCreation m_pending;
  detail::PendingCreation* m_previous;
};

void RegisterControlClasses() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&classes) != FALSE;
  }();
  (void)registered;
}
}  // namespace

HWND DataExchange::Item(int id) {
  HWND item = GetDlgItem(m_dialog, id);
  if (!item) m_succeeded = false;
  return item;
}

void DataExchange::Text(int id, std::string& field) {
  HWND item = Item(id);
  if (!item) return;
  if (!m_saving) {
    SetWindowTextA(item, field.c_str());
    return;
  }
  field = WindowText(item);
}

void DataExchange::Control(int id, Window& control) {
  if (control.Handle()) return;
  if (HWND item = Item(id)) m_succeeded = control.Subclass(item) && m_succeeded;
}

const MessageMap& Dialog::ClassMessageMap() {
  static const MessageMap map{&Window::ClassMessageMap(),
                              {
                                  OnCommand<&Dialog::OnOK>(IDOK),
                                  OnCommand<&Dialog::OnCancel>(IDCANCEL),
                                  OnMessage<&Dialog::OnDrawItem>(WM_DRAWITEM),
                              }};
  return map;
}

Dialog::~Dialog() {
  if (HWND hwnd = Handle()) DestroyWindow(hwnd);
}

// MFC's way of seeing a dialog's first messages (WM_CREATE, the first WM_SIZE): take the
// window over as soon as it exists, before the dialog manager creates the controls.
LRESULT CALLBACK Dialog::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    try {
      detail::PendingCreation* pending = detail::CurrentPendingCreation();
      if (pending && detail::IsPendingWindow(*pending, *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs))
        std::exchange(pending->dialog, nullptr)->AttachCreatedWindow(reinterpret_cast<HWND>(wParam));
    } catch (...) {
      // Create then finds its window unbound and fails.
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Dialog::AttachCreatedWindow(HWND hwnd) {
  if (!Subclass(hwnd)) return;
  m_moduleLock = AcquireModuleLock();
  detail::AddOpenDialog(hwnd);
}

void Dialog::OnWindowGone(HWND hwnd) { detail::RemoveOpenDialog(hwnd); }

bool Dialog::Create(UINT templateId, HWND parent) {
  HINSTANCE instance = ResourceInstance();
  if (Handle() || !instance) return false;
  RegisterControlClasses();
  unique_hook hook(SetWindowsHookExA(WH_CBT, &Dialog::CreationHook, nullptr, GetCurrentThreadId()));
  if (!hook) return false;
  m_result = 0;
  HWND hwnd = nullptr;
  {
    CreationScope creating(*this, instance);
    m_creating = true;
    // A Unicode dialog: the template's texts become the windows' texts unchanged, without a
    // detour through the ANSI code page.
    hwnd = CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent ? parent : GetActiveWindow(),
                              &Dialog::DialogProc, 0);
    m_creating = false;
  }
  if (hwnd && hwnd == Handle()) return true;
  // A dialog window without its object would show a dialog that does nothing.
  if (hwnd) DestroyWindow(hwnd);
  return false;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  auto* dialog = static_cast<Dialog*>(FromHandle(hwnd));
  if (!dialog) return TRUE;
  try {
    return dialog->OnInitDialog();
  } catch (...) {
    return TRUE;
  }
}

BOOL Dialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

bool Dialog::UpdateData(bool saveAndValidate) {
  DataExchange exchange(Handle(), saveAndValidate);
  DoDataExchange(exchange);
  return exchange.Succeeded();
}

void Dialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::EndDialog(int result) {
  m_result = result;
  DestroyWindow(Handle());
}

void Dialog::CenterWindow() {
  RECT area;
  HWND owner = GetWindow(Handle(), GW_OWNER);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    MONITORINFO monitor{sizeof(monitor), {}, {}, 0};
    GetMonitorInfoA(MonitorFromWindow(Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    area = monitor.rcWork;
  }
  RECT own;
  GetWindowRect(Handle(), &own);
  int x = area.left + ((area.right - area.left) - (own.right - own.left)) / 2;
  int y = area.top + ((area.bottom - area.top) - (own.bottom - own.top)) / 2;
  SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Dialog::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  WinApp* app = WinApp::Current();
  return app ? app->Messages().Show(Handle(), text, caption, icon) : 0;
}

LRESULT Dialog::OnDrawItem(WPARAM wParam, LPARAM lParam) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  Window* control = item ? FromHandle(item->hwndItem) : nullptr;
  if (!control) return Default(WM_DRAWITEM, wParam, lParam);
  control->DrawItem(*item);
  return TRUE;
}

}  // namespace qz::ui
