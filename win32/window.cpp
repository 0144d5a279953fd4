#include "window.h"

#include <commctrl.h>

#include <utility>

namespace qz::ui {
namespace {
// One subclass of this layer per window: the object is the subclass's reference data, and a
// window property finds it from the handle (GetWindowSubclass is not in every comctl32).
constexpr UINT_PTR kSubclassId = 1;
constexpr char kObjectProperty[] = "qz.ui.Window";
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
  if (!SetWindowSubclass(hwnd, &Window::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    RemovePropA(hwnd, kObjectProperty);
    return false;
  }
  m_hwnd = hwnd;
  PreSubclassWindow();
  return true;
}

void Window::Detach() {
  if (!m_hwnd) return;
  // Leaves the chain wherever it stands in it: subclasses added after this one stay intact.
  RemoveWindowSubclass(m_hwnd, &Window::SubclassProc, kSubclassId);
  RemovePropA(m_hwnd, kObjectProperty);
  m_hwnd = nullptr;
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefSubclassProc(m_hwnd, message, wParam, lParam);
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

LRESULT CALLBACK Window::SubclassProc(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR object) {
  auto* window = reinterpret_cast<Window*>(object);
  if (message == WM_NCDESTROY) return window->OnNcDestroy(wParam, lParam);
  // Nothing may unwind into the system's code: a failing handler ends its message quietly.
  try {
    return window->Dispatch(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

}  // namespace qz::ui
