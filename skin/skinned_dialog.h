// The base of the system's dialogs: on its first paint it drops the system frame and clips the
// window to a shape with rounded upper corners, then paints its own look: light-grey body,
// thin grey border, dark title strip with the title in white and a white cross that closes
// the dialog. The strip drags the window.
#pragma once

#include <windows.h>

#include "dialog.h"

namespace qz {

class CQZGUIObj_Dialog1 : public ui::Dialog {
 public:
  // Template 107 stands in until Create names the dialog's own template.
  explicit CQZGUIObj_Dialog1(HWND parent = nullptr);

  static const ui::MessageMap& ClassMessageMap();

 protected:
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }

 private:
  LRESULT OnSize(WPARAM wParam, LPARAM lParam);
  LRESULT OnEraseBackground(WPARAM wParam, LPARAM lParam);
  LRESULT OnStaticColor(WPARAM wParam, LPARAM lParam);
  LRESULT OnHitTest(WPARAM wParam, LPARAM lParam);
  LRESULT OnLeftButtonUp(WPARAM wParam, LPARAM lParam);

  // The window rectangle in client coordinates: (0, 0, width, height) once the frame is gone.
  RECT WindowInClient() const;
  void RemoveFrameIfPresent();
  void RebuildRegion();
  void Paint(HDC dc);
  void PaintTitle(HDC dc, const RECT& strip);

  RECT m_closeBox{};
  int m_closeBoxHot = 0;  // 3 while the pointer is over the close box
};

}  // namespace qz
