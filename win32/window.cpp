#include "window.h"

namespace qz::ui {
namespace {
constexpr char kObjectProperty[] = "qz.ui.Window";
}

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
  PreSubclassWindow();
  m_previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::WindowProc)));
  return true;
}

void Window::Detach() {
  if (!m_hwnd) return;
  SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
  RemovePropA(m_hwnd, kObjectProperty);
  m_hwnd = nullptr;
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(m_previousProc, m_hwnd, message, wParam, lParam);
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

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = FromHandle(hwnd);
  if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    LRESULT result = window->Default(message, wParam, lParam);
    window->Detach();
    try {
      window->OnFinalMessage(hwnd);
    } catch (...) {
    }
    return result;
  }
  // Nothing may unwind into the system's code: a failing handler ends its message quietly.
  try {
    return window->Dispatch(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

}  // namespace qz::ui
