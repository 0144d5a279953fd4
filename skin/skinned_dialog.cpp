#include "skinned_dialog.h"

#include <windowsx.h>

#include "display_text.h"
#include "handles.h"
#include "resource.h"

namespace qz {
namespace {
constexpr COLORREF kBodyColor = RGB(238, 238, 238);
constexpr COLORREF kBorderColor = RGB(218, 218, 218);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kGradientRows = 8;
constexpr int kStripHeight = 24;
// What the system frame of the templates' dialogs takes beyond the client area.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 30;

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  SetDCBrushColor(dc, color);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF color) {
  SetDCBrushColor(dc, color);
  FrameRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

RECT TitleStrip(const RECT& w) { return {w.left + 1, w.top + 1, w.right - 1, w.top + 1 + kStripHeight}; }
RECT NormalCloseBox(const RECT& w) { return {w.right - 18, w.top + 9, w.right - 9, w.top + 17}; }
RECT EnlargedCloseBox(const RECT& w) { return {w.right - 20, w.top + 6, w.right - 6, w.top + 21}; }

// Row i of the strip's top: from grey 134 towards black, truncated as the look was measured.
BYTE GradientGrey(int row) { return static_cast<BYTE>(134 - static_cast<int>(row / 8.0 * 134.0)); }

bool HasFrame(DWORD style, DWORD extendedStyle) {
  return (style & WS_CAPTION) == WS_CAPTION || (style & DS_MODALFRAME) ||
         (extendedStyle & WS_EX_DLGMODALFRAME);
}
}  // namespace

CQZGUIObj_Dialog1::CQZGUIObj_Dialog1(HWND parent) : Dialog(IDD_SKIN_DEFAULT, parent) {}

const ui::MessageMap& CQZGUIObj_Dialog1::ClassMessageMap() {
  static const ui::MessageMap map{&Dialog::ClassMessageMap(),
                                  {
                                      ui::OnMessage<&CQZGUIObj_Dialog1::OnSize>(WM_SIZE),
                                      ui::OnMessage<&CQZGUIObj_Dialog1::OnEraseBackground>(WM_ERASEBKGND),
                                      ui::OnMessage<&CQZGUIObj_Dialog1::OnStaticColor>(WM_CTLCOLORSTATIC),
                                      ui::OnMessage<&CQZGUIObj_Dialog1::OnHitTest>(WM_NCHITTEST),
                                      ui::OnMessage<&CQZGUIObj_Dialog1::OnLeftButtonUp>(WM_LBUTTONUP),
                                  }};
  return map;
}

LRESULT CQZGUIObj_Dialog1::OnSize(WPARAM wParam, LPARAM lParam) {
  LRESULT result = Default(WM_SIZE, wParam, lParam);
  RebuildRegion();
  return result;
}

LRESULT CQZGUIObj_Dialog1::OnEraseBackground(WPARAM wParam, LPARAM) {
  RemoveFrameIfPresent();
  Paint(reinterpret_cast<HDC>(wParam));
  return TRUE;
}

LRESULT CQZGUIObj_Dialog1::OnStaticColor(WPARAM wParam, LPARAM) {
  auto dc = reinterpret_cast<HDC>(wParam);
  SetBkColor(dc, kBodyColor);
  SetTextColor(dc, RGB(0, 0, 0));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

LRESULT CQZGUIObj_Dialog1::OnHitTest(WPARAM wParam, LPARAM lParam) {
  const bool wasHot = m_closeBoxHot != 0;
  RECT strip = TitleStrip(WindowInClient());
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ScreenToClient(Handle(), &point);
  const bool overCloseBox = PtInRect(&m_closeBox, point) != FALSE;
  m_closeBoxHot = overCloseBox ? 3 : 0;
  // Every movement over a hot box or onto the box repaints it once.
  if (wasHot || overCloseBox) InvalidateRect(Handle(), &m_closeBox, TRUE);
  if (overCloseBox) return Default(WM_NCHITTEST, wParam, lParam);
  if (PtInRect(&strip, point)) return HTCAPTION;
  return Default(WM_NCHITTEST, wParam, lParam);
}

LRESULT CQZGUIObj_Dialog1::OnLeftButtonUp(WPARAM wParam, LPARAM lParam) {
  // The dialog manager turns WM_CLOSE into the Cancel command.
  if (m_closeBoxHot) SendMessageA(Handle(), WM_CLOSE, 0, 0);
  return Default(WM_LBUTTONUP, wParam, lParam);
}

RECT CQZGUIObj_Dialog1::WindowInClient() const {
  RECT w;
  GetWindowRect(Handle(), &w);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&w), 2);
  return w;
}

void CQZGUIObj_Dialog1::RemoveFrameIfPresent() {
  auto style = static_cast<DWORD>(GetWindowLongA(Handle(), GWL_STYLE));
  auto extendedStyle = static_cast<DWORD>(GetWindowLongA(Handle(), GWL_EXSTYLE));
  if (!HasFrame(style, extendedStyle)) return;
  // Caption and modal frame go; the system menu stays, so the cross is still painted.
  SetWindowLongA(Handle(), GWL_STYLE, static_cast<LONG>(style & ~(WS_CAPTION | DS_MODALFRAME)));
  SetWindowLongA(Handle(), GWL_EXSTYLE, static_cast<LONG>(extendedStyle & ~WS_EX_DLGMODALFRAME));
  RECT outer;
  GetWindowRect(Handle(), &outer);
  int width = outer.right - outer.left;
  int height = outer.bottom - outer.top;
  SetWindowPos(Handle(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
  SetWindowPos(Handle(), nullptr, 0, 0, width - kFrameWidth, height - kFrameHeight,
               SWP_NOZORDER | SWP_NOMOVE);
  InvalidateRect(Handle(), nullptr, TRUE);
}

void CQZGUIObj_Dialog1::RebuildRegion() {
  RECT w = WindowInClient();
  // Reaching past the right and bottom edges leaves only the two upper corners rounded.
  unique_region region(CreateRoundRectRgn(w.left, w.top, w.right + 2, w.bottom + 20, 15, 15));
  // Once given to the window the region belongs to the system, which frees the previous one.
  if (region && SetWindowRgn(Handle(), region.get(), TRUE)) region.release();
  InvalidateRect(Handle(), nullptr, TRUE);
}

void CQZGUIObj_Dialog1::Paint(HDC dc) {
  unique_pen crossPen(CreatePen(PS_SOLID, 2, kWhite));
  ui::DcState state(dc);
  RECT w = WindowInClient();
  FillSolid(dc, w, kBodyColor);
  FrameSolid(dc, w, kBorderColor);
  RECT strip = TitleStrip(w);
  FillSolid(dc, strip, RGB(0, 0, 0));
  for (int row = 0; row < kGradientRows; ++row) {
    BYTE grey = GradientGrey(row);
    FillSolid(dc, {strip.left, strip.top + row, strip.right, strip.top + row + 1}, RGB(grey, grey, grey));
  }
  if (auto icon = reinterpret_cast<HICON>(SendMessageA(Handle(), WM_GETICON, ICON_SMALL, 0)))
    DrawIcon(dc, 0, 0, icon);
  PaintTitle(dc, strip);
  m_closeBox = NormalCloseBox(w);
  if (GetWindowLongA(Handle(), GWL_STYLE) & WS_SYSMENU) {
    SelectObject(dc, crossPen.get());
    MoveToEx(dc, m_closeBox.left, m_closeBox.top, nullptr);
    LineTo(dc, m_closeBox.right, m_closeBox.bottom);
    MoveToEx(dc, m_closeBox.right, m_closeBox.top, nullptr);
    LineTo(dc, m_closeBox.left, m_closeBox.bottom);
    // Once drawn hot, the box keeps the pointer over a larger area so that it does not flicker.
    if (m_closeBoxHot) m_closeBox = EnlargedCloseBox(w);
  }
}

void CQZGUIObj_Dialog1::PaintTitle(HDC dc, const RECT& strip) {
  ui::DcState state(dc);
  if (auto font = reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0)))
    SelectObject(dc, font);
  std::wstring title = ui::WideWindowText(Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kWhite);
  RECT text = strip;
  text.left += 5;
  DrawTextW(dc, title.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER);
}

}  // namespace qz
