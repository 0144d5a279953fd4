// A window object over a window handle, with a message map per class in place of MFC's CWnd:
// the object subclasses the window, looks each message up in its class's map, then in the maps of
// its base classes, and passes what nobody handles on down the chain. Leaving never cuts out a
// subclass that another program put over this one. The procedures are Unicode ones, so that a
// wide text set on a window reaches the system's procedure whole, on any ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win_app.h"

namespace qz::ui {

// A window's text (GetWindowTextA), of any length.
std::string WindowText(HWND hwnd);

class Window;

struct MessageEntry {
  UINT message;
  UINT id;    // control identifier, for WM_COMMAND only
  UINT code;  // notification code, for WM_COMMAND only
  LRESULT (*handler)(Window& window, WPARAM wParam, LPARAM lParam);
};

// One class's entries and the map of its base class, searched after them.
struct MessageMap {
  const MessageMap* base;
  std::vector<MessageEntry> entries;
};

namespace detail {
template <typename Member>
struct MemberOf;
template <typename T, typename R, typename... Args>
struct MemberOf<R (T::*)(Args...)> {
  using type = T;
};
}  // namespace detail

// An entry that calls `void T::Handler()` for one command of one control.
template <auto Handler>
MessageEntry OnCommand(UINT id, UINT code = BN_CLICKED) {
  using T = typename detail::MemberOf<decltype(Handler)>::type;
  return {WM_COMMAND, id, code, [](Window& window, WPARAM, LPARAM) -> LRESULT {
            (static_cast<T&>(window).*Handler)();
            return 0;
          }};
}

// An entry that calls `LRESULT T::Handler(WPARAM, LPARAM)` for a message; its result is the
// window procedure's.
template <auto Handler>
MessageEntry OnMessage(UINT message) {
  using T = typename detail::MemberOf<decltype(Handler)>::type;
  return {message, 0, 0, [](Window& window, WPARAM wParam, LPARAM lParam) -> LRESULT {
            return (static_cast<T&>(window).*Handler)(wParam, lParam);
          }};
}

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return m_hwnd; }

  // Takes over an existing window, as a dialog binds its controls. False if the handle is
  // null or another object holds it already. The object lets go of it when the window is
  // destroyed or the object goes, whichever comes first.
  bool Subclass(HWND hwnd);

  // The object that has taken over `hwnd`, or null.
  static Window* FromHandle(HWND hwnd);

  static const MessageMap& ClassMessageMap();

 protected:
  virtual const MessageMap& GetMessageMap() const { return ClassMessageMap(); }
  virtual void PreSubclassWindow() {}
  // An owner-draw request that the parent dialog passed on to this control.
  virtual void DrawItem(const DRAWITEMSTRUCT& item) { (void)item; }
  // The window is being destroyed (WM_NCDESTROY) and the object has let go of it: release what
  // belonged to that window. Runs before OnFinalMessage.
  virtual void OnWindowGone(HWND hwnd) { (void)hwnd; }
  // The window is gone (after WM_NCDESTROY) and the object holds it no longer: the last call
  // the object gets from its window, where an object that frees itself may `delete this`.
  virtual void OnFinalMessage(HWND hwnd) { (void)hwnd; }

  // The handling of the procedures below this object in the window's chain.
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

  friend class Dialog;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnNcDestroy(WPARAM wParam, LPARAM lParam);
  const MessageEntry* FindEntry(UINT message, WPARAM wParam) const;
  void Detach();

  HWND m_hwnd = nullptr;
  // Taken by a dialog for its window; given back only after OnFinalMessage, so that the module
  // cannot be unloaded while the object still runs.
  unique_module_lock m_moduleLock;
  // Set while Dialog::Create runs: a window destroyed before Create returns leaves the object
  // to Create's caller, so OnFinalMessage is not called for it.
  bool m_creating = false;
};

}  // namespace qz::ui
