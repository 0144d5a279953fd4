// What the three dialogs of the folder workflows share: they are made with new, end through
// EndDialog (which destroys the window) and free themselves once the window is gone; they set
// their skinned buttons up from one table; and they have one destroy handler.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "button_looks.h"
#include "skinned_dialog.h"

namespace qz::dialogs {

class FolderDialog : public CQZGUIObj_Dialog1 {
 public:
  // Creates the window from the template; from then on the dialog frees itself once its window
  // is gone. False when no window was made: the object is then still the caller's.
  bool CreateOwnWindow(UINT templateId, HWND parent);

  static const ui::MessageMap& ClassMessageMap();

 protected:
  FolderDialog() = default;
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }

  // Each look's bitmap in all four states, its caption as tooltip and text, one white line.
  void SetUpButtons(const std::vector<ButtonLook>& looks);
  void EnableItem(int id, bool enable) const;
  void ShowItem(int id, bool show) const;

  // While the window is being destroyed, before its children are gone.
  virtual void OnDestroying() {}
  void OnFinalMessage(HWND hwnd) override;

 private:
  LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

  bool m_freesItself = false;
};

// An entry that calls `void T::Handler()` for one command of one control unless the dialog's
// run is working or the control is disabled: then the command does nothing. (Wine delivers
// the click of a disabled button that is sent BM_CLICK.)
template <auto Handler>
ui::MessageEntry WhenIdle(UINT id, UINT code = BN_CLICKED) {
  using T = typename ui::detail::MemberOf<decltype(Handler)>::type;
  return {WM_COMMAND, id, code, [](ui::Window& window, WPARAM, LPARAM lParam) -> LRESULT {
            auto& dialog = static_cast<T&>(window);
            const auto control = reinterpret_cast<HWND>(lParam);
            if (control && !IsWindowEnabled(control)) return 0;
            if (!dialog.RunWorking()) (dialog.*Handler)();
            return 0;
          }};
}

// A command that does nothing: the edit boxes' change notifications.
inline ui::MessageEntry Ignored(UINT id, UINT code) {
  return {WM_COMMAND, id, code, [](ui::Window&, WPARAM, LPARAM) -> LRESULT { return 0; }};
}

}  // namespace qz::dialogs
