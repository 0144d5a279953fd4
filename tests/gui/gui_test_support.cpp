#include "gui_test_support.h"

#include "win_app.h"
#include "window.h"

namespace qz::test {
namespace {
// Every test of this program takes its resources from the program itself.
ui::WinApp g_app(GetModuleHandleA(nullptr));
ModalAnswerer* g_answerer = nullptr;

void DispatchQueued() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    DispatchQueued();
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

ModalAnswerer::ModalAnswerer(std::function<bool()> step) : m_step(std::move(step)) {
  g_answerer = this;
  m_timer = SetTimer(nullptr, 0, 50, &ModalAnswerer::Tick);
}

ModalAnswerer::~ModalAnswerer() {
  KillTimer(nullptr, m_timer);
  g_answerer = nullptr;
}

void CALLBACK ModalAnswerer::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_answerer && g_answerer->m_step && g_answerer->m_step()) g_answerer->m_step = nullptr;
}

HWND FindThreadWindow(const std::function<bool(HWND)>& match) {
  struct Search {
    const std::function<bool(HWND)>& match;
    HWND found;
  } search{match, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (s->match(window)) s->found = window;
        return !s->found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindThreadDialog(const std::string& title) {
  return FindThreadWindow([&](HWND window) {
    return ClassOf(window) == "#32770" && IsWindowVisible(window) && ui::WindowText(window) == title;
  });
}

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof(name));
  return name;
}


void Press(HWND dialog, int buttonId) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

}  // namespace qz::test
