#include "skin_button.h"

#include <windowsx.h>

#include "display_text.h"
#include "resource.h"
#include "win_app.h"

namespace qz {
namespace {
constexpr UINT_PTR kHoverTimer = 1;
constexpr UINT kHoverPollMilliseconds = 10;
constexpr COLORREF kHoverTextColor = RGB(255, 0, 0);
constexpr COLORREF kTransparentColor = RGB(255, 0, 255);
constexpr std::size_t kOneLineLimit = 10;
constexpr std::size_t kSecondLineBytes = 4;
constexpr int kSecondLineOffset = 16;

// Byte offset of the character boundary at or before `limit`, going by our texts' code page.
std::size_t BoundaryAtOrBefore(const std::string& text, std::size_t limit) {
  std::size_t boundary = 0;
  for (const char* p = text.c_str(); static_cast<std::size_t>(p - text.c_str()) <= limit && *p;) {
    boundary = static_cast<std::size_t>(p - text.c_str());
    p = CharNextExA(ui::kOurCodePage, p, 0);
  }
  return boundary;
}
}  // namespace

std::pair<std::string, std::string> SplitCaption(const std::string& caption, bool twoLines) {
  if (!twoLines || caption.size() <= kOneLineLimit) return {caption, {}};
  std::size_t split = BoundaryAtOrBefore(caption, caption.size() - kSecondLineBytes);
  return {caption.substr(0, split), caption.substr(split)};
}

CSkinBtn::CSkinBtn() : m_font(ButtonFont()) {}

const ui::MessageMap& CSkinBtn::ClassMessageMap() {
  static const ui::MessageMap map{&Window::ClassMessageMap(),
                                  {
                                      ui::OnMessage<&CSkinBtn::OnMouseMove>(WM_MOUSEMOVE),
                                      ui::OnMessage<&CSkinBtn::OnTimer>(WM_TIMER),
                                      ui::OnMessage<&CSkinBtn::OnEraseBackground>(WM_ERASEBKGND),
                                      ui::OnMessage<&CSkinBtn::OnSetCursor>(WM_SETCURSOR),
                                      ui::OnMessage<&CSkinBtn::OnEnable>(WM_ENABLE),
                                      ui::OnMessage<&CSkinBtn::OnClose>(WM_CLOSE),
                                      ui::OnMessage<&CSkinBtn::OnGetDialogCode>(WM_GETDLGCODE),
                                      ui::OnMessage<&CSkinBtn::OnSetStyle>(BM_SETSTYLE),
                                  }};
  return map;
}

void CSkinBtn::SetBitmaps(UINT normal, UINT hover, UINT pressed, UINT disabled) {
  m_images = {LoadSharedBitmap(normal), LoadSharedBitmap(hover), LoadSharedBitmap(pressed), LoadSharedBitmap(disabled)};
}

TOOLINFOW CSkinBtn::Tool(const wchar_t* text) const {
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = GetParent(Handle());
  tool.uId = reinterpret_cast<UINT_PTR>(Handle());
  tool.lpszText = const_cast<wchar_t*>(text);
  return tool;
}

void CSkinBtn::SetToolTipText(const std::string& text) {
  const std::wstring wide = ui::OurText(text);
  TOOLINFOW tool = Tool(wide.c_str());
  auto send = [this](UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(m_toolTip.get(), message, wParam, lParam);
  };
  auto addTool = [&] { return send(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)); };
  auto setDelay = [&] { send(TTM_SETDELAYTIME, TTDT_AUTOMATIC, MAKELPARAM(200, 0)); };
  if (!m_toolTip) {
    m_toolTip.reset(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                    ui::ResourceInstance(), nullptr));
    if (m_toolTip && addTool()) {
      send(TTM_ACTIVATE, TRUE, 0);
      setDelay();
    }
    return;
  }
  send(TTM_ACTIVATE, TRUE, 0);
  setDelay();
  send(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CSkinBtn::SetTextPos(int x, int y, bool twoLines) {
  m_textX = x;
  m_textY = y;
  m_twoLines = twoLines;
  DrawButton();
}

void CSkinBtn::SetTextColors(COLORREF text, COLORREF /*highlight: no state draws it*/) {
  m_textColor = text;
  DrawButton();
}

void CSkinBtn::PreSubclassWindow() {
  LONG style = GetWindowLongA(Handle(), GWL_STYLE);
  m_default = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  SetWindowLongA(Handle(), GWL_STYLE, style | BS_OWNERDRAW);
  InvalidateRect(Handle(), nullptr, TRUE);
}

void CSkinBtn::DrawItem(const DRAWITEMSTRUCT& item) {
  m_state = kNormal;
  if (item.itemState & ODS_FOCUS) {
    if (item.itemState & ODS_SELECTED)
      m_state = kPressed;
    else if (m_tracking)
      m_state = kHover;
  }
  if (item.itemState & ODS_DISABLED) {
    m_state = kDisabled;
    m_enabled = false;
  }
  DrawButton();
}

void CSkinBtn::DrawButton() {
  unique_window_dc client(GetDC(Handle()));
  if (!client) return;
  RECT area;
  GetClientRect(Handle(), &area);
  ui::MemoryCanvas buffer(client.get(), area.right, area.bottom);
  // Before the first erase there is no background yet; the button is not visible then.
  if (m_background)
    BitBlt(buffer.dc(), 0, 0, area.right, area.bottom, m_background->dc(), 0, 0, SRCCOPY);
  SetBkMode(buffer.dc(), TRANSPARENT);
  SelectObject(buffer.dc(), m_font->get());
  if (const auto& image = m_images[m_state]) {
    DrawSharedBitmap(buffer.dc(), *image, kTransparentColor);
    // Pressed and disabled faces show no caption.
    if (m_state == kNormal) DrawCaption(buffer.dc(), area.right, m_textColor);
    if (m_state == kHover) DrawCaption(buffer.dc(), area.right, kHoverTextColor);
  }
  BitBlt(client.get(), 0, 0, area.right, area.bottom, buffer.dc(), 0, 0, SRCCOPY);
}

void CSkinBtn::DrawCaption(HDC dc, int width, COLORREF color) const {
  SetTextColor(dc, color);
  auto [first, second] = SplitCaption(ui::OurTextFromWide(ui::WideWindowText(Handle())), m_twoLines);
  DrawLine(dc, first, width, m_textY);
  if (!second.empty()) DrawLine(dc, second, width, m_textY + kSecondLineOffset);
}

void CSkinBtn::DrawLine(HDC dc, const std::string& line, int width, int y) const {
  const std::wstring wide = ui::OurText(line);
  SIZE extent{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
  TextOutW(dc, (width - extent.cx) / 2 + m_textX, y, wide.c_str(), static_cast<int>(wide.size()));
}

bool CSkinBtn::CursorInside() const {
  RECT window;
  POINT cursor;
  GetWindowRect(Handle(), &window);
  GetCursorPos(&cursor);
  return PtInRect(&window, cursor) != FALSE;
}

LRESULT CSkinBtn::OnMouseMove(WPARAM wParam, LPARAM lParam) {
  if (m_toolTip) {
    MSG relay{Handle(), WM_MOUSEMOVE, wParam, lParam, 0, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}};
    SendMessageA(m_toolTip.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
  }
  if (!m_tracking && m_enabled) {
    m_tracking = true;
    m_state = kHover;
    bool inside = CursorInside();
    if (inside) DrawButton();
    SetTimer(Handle(), kHoverTimer, kHoverPollMilliseconds, nullptr);
    if (!inside) return 0;
  }
  return Default(WM_MOUSEMOVE, wParam, lParam);
}

LRESULT CSkinBtn::OnTimer(WPARAM wParam, LPARAM lParam) {
  // The pointer has left: one tick is all it takes to fall back to the normal face.
  if (m_tracking && m_enabled && !CursorInside()) {
    KillTimer(Handle(), kHoverTimer);
    m_tracking = false;
    m_state = kNormal;
    DrawButton();
  }
  return Default(WM_TIMER, wParam, lParam);
}

LRESULT CSkinBtn::OnEraseBackground(WPARAM wParam, LPARAM) {
  if (m_background) return TRUE;
  auto dc = reinterpret_cast<HDC>(wParam);
  RECT area;
  GetClientRect(Handle(), &area);
  m_background.emplace(dc, area.right, area.bottom);
  BitBlt(m_background->dc(), 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
  unique_region region(CreateRectRgn(0, 0, area.right, area.bottom));
  if (region && SetWindowRgn(Handle(), region.get(), TRUE)) region.release();
  return TRUE;
}

LRESULT CSkinBtn::OnSetCursor(WPARAM, LPARAM) {
  SetCursor(LoadCursorA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDC_HAND_CURSOR)));
  return TRUE;
}

LRESULT CSkinBtn::OnEnable(WPARAM wParam, LPARAM lParam) {
  LRESULT result = Default(WM_ENABLE, wParam, lParam);
  m_enabled = wParam != 0;
  return result;
}

void SetUpDialogButton(CSkinBtn& button, UINT bitmap, const std::string& caption) {
  constexpr COLORREF kWhite = RGB(255, 255, 255);
  button.SetBitmaps(bitmap, bitmap, bitmap, bitmap);
  button.SetToolTipText(caption);
  ui::SetOurText(button.Handle(), caption);
  button.SetTextPos(0, 3, false);
  button.SetTextColors(kWhite, kWhite);
}

void CSkinBtn::OnWindowGone(HWND) {
  m_toolTip.reset();
  m_background.reset();
  m_tracking = false;
  m_state = kNormal;
}

LRESULT CSkinBtn::OnClose(WPARAM wParam, LPARAM lParam) {
  if (m_toolTip) {
    TOOLINFOW tool = Tool(nullptr);
    SendMessageW(m_toolTip.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  return Default(WM_CLOSE, wParam, lParam);
}

// An owner-drawn button would tell the dialog manager that it is no push button, and Enter would
// then press the dialog's default button even while another button has the focus. Answering as
// a push button lets the focused button become the default, as with plain buttons.
LRESULT CSkinBtn::OnGetDialogCode(WPARAM wParam, LPARAM lParam) {
  auto code = Default(WM_GETDLGCODE, wParam, lParam) & ~(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
  return code | DLGC_BUTTON | (m_default ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

// The dialog manager moves the default by setting the push-button styles; the button keeps its
// owner-drawn face and only remembers the part it plays.
LRESULT CSkinBtn::OnSetStyle(WPARAM wParam, LPARAM lParam) {
  m_default = (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  return Default(BM_SETSTYLE, (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW, lParam);
}

}  // namespace qz
