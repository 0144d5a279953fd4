#include "folder_dialog.h"

#include "skin_button.h"

namespace qz::dialogs {

const ui::MessageMap& FolderDialog::ClassMessageMap() {
  static const ui::MessageMap map{&CQZGUIObj_Dialog1::ClassMessageMap(),
                                  {ui::OnMessage<&FolderDialog::OnDestroy>(WM_DESTROY)}};
  return map;
}

bool FolderDialog::CreateOwnWindow(UINT templateId, HWND parent) {
  m_freesItself = Create(templateId, parent);
  return m_freesItself;
}

void FolderDialog::SetUpButtons(const std::vector<ButtonLook>& looks) {
  for (const ButtonLook& look : looks) {
    if (auto* button = dynamic_cast<CSkinBtn*>(Window::FromHandle(GetDlgItem(Handle(), look.id))))
      SetUpDialogButton(*button, look.bitmap, look.caption);
  }
}

void FolderDialog::EnableItem(int id, bool enable) const { EnableWindow(GetDlgItem(Handle(), id), enable); }

void FolderDialog::ShowItem(int id, bool show) const { ShowWindow(GetDlgItem(Handle(), id), show ? SW_SHOW : SW_HIDE); }

// The window is already on its way out (EndDialog destroys it), so there is nothing left to
// destroy here; what the dialog holds of other windows and threads is let go of.
LRESULT FolderDialog::OnDestroy(WPARAM wParam, LPARAM lParam) {
  LRESULT result = Default(WM_DESTROY, wParam, lParam);
  OnDestroying();
  return result;
}

// A window that failed during its creation leaves the object to the one who tried.
void FolderDialog::OnFinalMessage(HWND) {
  if (m_freesItself) delete this;
}

}  // namespace qz::dialogs
