#include "window.h"

#include <utility>

namespace qz::ui {
namespace {
// The object that holds a window, and the procedure below this layer's in the window's chain.
constexpr char kObjectProperty[] = "qz.ui.Window";
constexpr char kBelowProperty[] = "qz.ui.Below";

WNDPROC ProcedureBelow(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetPropA(hwnd, kBelowProperty)); }

LRESULT CallBelow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC below = ProcedureBelow(hwnd);
  return below ? CallWindowProcW(below, hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

std::string WindowText(HWND hwnd) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

Window::~Window() { Detach(); }

const MessageMap& Window::ClassMessageMap() {
  static const MessageMap map{nullptr, {}};
  return map;
}

Window* Window::FromHandle(HWND hwnd) {
  return hwnd ? static_cast<Window*>(GetPropA(hwnd, kObjectProperty)) : nullptr;
}

bool Window::Subclass(HWND hwnd) {
  if (!hwnd || m_hwnd || FromHandle(hwnd)) return false;
  if (!SetPropA(hwnd, kObjectProperty, this)) return false;
  m_hwnd = hwnd;
  // A window this layer has held before may still carry its procedure in the chain: the object
  // takes that place again.
  if (!ProcedureBelow(hwnd)) {
    auto below = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
    SetPropA(hwnd, kBelowProperty, reinterpret_cast<HANDLE>(below));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::WindowProc));
  }
  PreSubclassWindow();
  return true;
}

void Window::Detach() {
  if (!m_hwnd) return;
  RemovePropA(m_hwnd, kObjectProperty);
  // Only a procedure still on top of the chain can be taken out. Under another program's
  // subclass it stays and passes every message on.
  auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_hwnd, GWLP_WNDPROC));
  if (current == &Window::WindowProc) {
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProcedureBelow(m_hwnd)));
    RemovePropA(m_hwnd, kBelowProperty);
  }
  m_hwnd = nullptr;
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallBelow(m_hwnd, message, wParam, lParam);
}

const MessageEntry* Window::FindEntry(UINT message, WPARAM wParam) const {
  for (const MessageMap* map = &GetMessageMap(); map; map = map->base) {
    for (const MessageEntry& entry : map->entries) {
      if (entry.message != message) continue;
      if (message != WM_COMMAND || (entry.id == LOWORD(wParam) && entry.code == HIWORD(wParam)))
        return &entry;
    }
  }
  return nullptr;
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (const MessageEntry* entry = FindEntry(message, wParam))
    return entry->handler(*this, wParam, lParam);
  return Default(message, wParam, lParam);
}

LRESULT Window::OnNcDestroy(WPARAM wParam, LPARAM lParam) {
  HWND hwnd = m_hwnd;
  LRESULT result = Default(WM_NCDESTROY, wParam, lParam);
  Detach();
  unique_module_lock lock = std::move(m_moduleLock);
  const bool final = !m_creating;
  try {
    OnWindowGone(hwnd);
  } catch (...) {
  }
  try {
    if (final) OnFinalMessage(hwnd);
  } catch (...) {
  }
  // The object may have freed itself: from here on nothing of it is touched. The module lock
  // goes last.
  return result;
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = FromHandle(hwnd);
  if (!window) {
    // Left behind under another subclass: pass on, and forget the chain with the window.
    LRESULT result = CallBelow(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) RemovePropA(hwnd, kBelowProperty);
    return result;
  }
  if (message == WM_NCDESTROY) return window->OnNcDestroy(wParam, lParam);
  // Nothing may unwind into the system's code: a failing handler ends its message quietly.
  try {
    return window->Dispatch(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

}  // namespace qz::ui
