// The owner-drawn push button of the skinned dialogs: one bitmap per state (normal, hover,
// pressed, disabled) over a copy of what lay under the button when it was first shown, a
// caption drawn in 9-point Arial, a hover look found by polling the pointer, a pointing-hand
// cursor and a tooltip.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "handles.h"
#include "shared_gdi.h"
#include "window.h"

namespace qz {

// The caption's lines: a long caption in two-line mode loses its last four bytes (of code page
// 936, as our texts are compiled) to a second line, moved back to the start of a double-byte
// character so that none is cut in half.
std::pair<std::string, std::string> SplitCaption(const std::string& caption, bool twoLines);

class CSkinBtn : public ui::Window {
 public:
  enum State { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

  CSkinBtn();

  // Bitmap resources of the module for the four states; one that fails to load leaves its
  // state without a face. No redraw.
  void SetBitmaps(UINT normal, UINT hover, UINT pressed, UINT disabled);
  // One of our texts (display_text.h).
  void SetToolTipText(const std::string& text);
  // Offsets added to the centred caption; both redraw the button.
  void SetTextPos(int x, int y, bool twoLines);
  void SetTextColors(COLORREF text, COLORREF highlight);
  // Draws the whole button off-screen and copies it onto the button in one go.
  void DrawButton();

  static const ui::MessageMap& ClassMessageMap();

 protected:
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }
  void PreSubclassWindow() override;
  void DrawItem(const DRAWITEMSTRUCT& item) override;
  // The tooltip and the background copy belong to the window; a later window starts afresh.
  void OnWindowGone(HWND hwnd) override;

 private:
  LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
  LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
  LRESULT OnEraseBackground(WPARAM wParam, LPARAM lParam);
  LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
  LRESULT OnEnable(WPARAM wParam, LPARAM lParam);
  LRESULT OnClose(WPARAM wParam, LPARAM lParam);
  LRESULT OnGetDialogCode(WPARAM wParam, LPARAM lParam);
  LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);

  bool CursorInside() const;
  TOOLINFOW Tool(const wchar_t* text) const;
  void DrawCaption(HDC dc, int width, COLORREF color) const;
  void DrawLine(HDC dc, const std::string& line, int width, int y) const;

  unique_window m_toolTip;
  std::array<std::shared_ptr<const SharedBitmap>, 4> m_images;  // by state; null: no face
  State m_state = kNormal;
  COLORREF m_textColor = RGB(0, 0, 0);
  bool m_tracking = false;
  bool m_enabled = true;
  std::shared_ptr<const unique_font> m_font;
  int m_textX = 21;
  int m_textY = 0;
  bool m_twoLines = true;
  // The dialog's default button, the one Enter presses: the owner-drawn style has no room for it.
  bool m_default = false;
  std::optional<ui::MemoryCanvas> m_background;  // taken at the first erase, never renewed
};

// The look every button of the system's dialogs gets: `bitmap` in all four states, the caption
// (one of our texts) as tooltip and text, one white line 3 pixels from the top.
void SetUpDialogButton(CSkinBtn& button, UINT bitmap, const std::string& caption);

}  // namespace qz
