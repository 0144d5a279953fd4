// The skinned dialog base, the skinned button and the busy window on real windows: geometry,
// region, hit-testing, closing, control colours, the button's faces and captions per state.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "busy_window.h"
#include "gui_test_support.h"
#include "handles.h"
#include "resource.h"
#include "skin_button.h"
#include "skinned_dialog.h"
#include "win_app.h"

namespace qz {
namespace {

using test::Pump;
using test::PumpUntil;

RECT WindowRect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}
int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// A skinned dialog of the default template, shown and painted at a fixed place.
class SkinnedDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog.Create());
    SetWindowPos(dialog.Handle(), nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    framed = WindowRect(dialog.Handle());
    ShowWindow(dialog.Handle(), SW_SHOW);
    UpdateWindow(dialog.Handle());
    Pump();
  }
  void TearDown() override { DestroyWindow(dialog.Handle()); }

  LRESULT HitTest(int x, int y) {
    RECT r = WindowRect(dialog.Handle());
    return SendMessageA(dialog.Handle(), WM_NCHITTEST, 0, MAKELPARAM(r.left + x, r.top + y));
  }
  int W() { return Width(WindowRect(dialog.Handle())); }

  CQZGUIObj_Dialog1 dialog;
  RECT framed{};
};

TEST_F(SkinnedDialog, FirstPaintDropsTheFrameOnceAndKeepsThePosition) {
  RECT frameless = WindowRect(dialog.Handle());
  EXPECT_EQ(frameless.left, framed.left);
  EXPECT_EQ(frameless.top, framed.top);
  EXPECT_EQ(Width(frameless), Width(framed) - 8);
  EXPECT_EQ(Height(frameless), Height(framed) - 30);
  auto style = static_cast<DWORD>(GetWindowLongA(dialog.Handle(), GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | DS_MODALFRAME), 0u);
  EXPECT_NE(style & WS_SYSMENU, 0u) << "the system menu stays, and with it the cross";
  EXPECT_EQ(GetWindowLongA(dialog.Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
  RECT client;
  GetClientRect(dialog.Handle(), &client);
  EXPECT_EQ(client.right, Width(frameless)) << "the client area is the whole window";

  InvalidateRect(dialog.Handle(), nullptr, TRUE);
  UpdateWindow(dialog.Handle());
  Pump();
  EXPECT_EQ(Width(WindowRect(dialog.Handle())), Width(frameless));
}

TEST_F(SkinnedDialog, RegionRoundsTheUpperCornersOnlyAndFollowsEverySizeChange) {
  for (int grow : {0, 60}) {
    SCOPED_TRACE(grow);
    RECT r = WindowRect(dialog.Handle());
    SetWindowPos(dialog.Handle(), nullptr, 0, 0, Width(r) + grow, Height(r) + grow, SWP_NOMOVE | SWP_NOZORDER);
    int w = Width(r) + grow, h = Height(r) + grow;
    unique_region region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(dialog.Handle(), region.get()), ERROR);
    const struct {
      int x, y;
      bool inside;
    } points[] = {{0, 0, false},     {w - 1, 0, false},     {1, 1, false},       {10, 0, true},
                  {0, 10, true},     {w / 2, 0, true},      {0, h - 1, true},    {w - 1, h - 1, true},
                  {w - 1, h / 2, true}};
    for (const auto& p : points)
      EXPECT_EQ(PtInRegion(region.get(), p.x, p.y) != FALSE, p.inside) << p.x << "," << p.y;
  }
}

TEST_F(SkinnedDialog, StripDragsCloseBoxIsClientAndStaysHotOverItsEnlargedArea) {
  int w = W();
  EXPECT_EQ(HitTest(50, 12), HTCAPTION) << "title strip";
  EXPECT_EQ(HitTest(w - 2, 24), HTCAPTION) << "last pixel of the strip";
  EXPECT_EQ(HitTest(w / 2, 25), HTCLIENT) << "below the strip";
  EXPECT_EQ(HitTest(w - 7, 7), HTCAPTION) << "beside the close box while it is cold";
  EXPECT_EQ(HitTest(w - 14, 13), HTCLIENT) << "close box: no dragging";
  Pump();  // the hot box repaints, enlarged
  EXPECT_EQ(HitTest(w - 7, 7), HTCLIENT) << "within the enlarged box";
  EXPECT_EQ(HitTest(50, 12), HTCAPTION) << "left the box";
  Pump();
  EXPECT_EQ(HitTest(w - 7, 7), HTCAPTION) << "the normal box is back";
}

TEST_F(SkinnedDialog, ButtonUpClosesAsCancelOnlyWhileTheCloseBoxIsHot) {
  int w = W();
  HitTest(w / 2, 100);
  SendMessageA(dialog.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(w / 2, 100));
  Pump();
  EXPECT_EQ(dialog.Result(), 0);
  HitTest(w - 14, 13);
  SendMessageA(dialog.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(w / 2, 100));  // released anywhere
  ASSERT_TRUE(PumpUntil([&] { return dialog.Result() != 0; }));
  EXPECT_EQ(dialog.Result(), IDCANCEL);
  EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
}

TEST_F(SkinnedDialog, StaticControlsGetBlackOnBodyGreyOthersThePlatformColours) {
  unique_memory_dc dc(CreateCompatibleDC(nullptr));
  HWND ok = GetDlgItem(dialog.Handle(), IDOK);
  SetBkColor(dc.get(), RGB(1, 2, 3));
  SetTextColor(dc.get(), RGB(4, 5, 6));
  LRESULT brush = SendMessageA(dialog.Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.get()),
                               reinterpret_cast<LPARAM>(ok));
  EXPECT_EQ(GetBkColor(dc.get()), GetSysColor(COLOR_WINDOW)) << "the platform's edit colours";
  EXPECT_EQ(GetTextColor(dc.get()), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));

  SetBkColor(dc.get(), RGB(1, 2, 3));
  SetTextColor(dc.get(), RGB(4, 5, 6));

  brush = SendMessageA(dialog.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                       reinterpret_cast<LPARAM>(ok));
  EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
  EXPECT_EQ(GetBkColor(dc.get()), RGB(238, 238, 238));
  EXPECT_EQ(GetTextColor(dc.get()), RGB(0, 0, 0));
}

// ---- the skinned button -------------------------------------------------------------------

TEST(SplitCaption, MovesTheLastFourBytesOfALongCaptionToASecondLine) {
  const struct {
    std::string caption;
    bool twoLines;
    std::string first, second;
  } cases[] = {
      {"ABCDEFGHIJK", true, "ABCDEFG", "HIJK"},
      {"ABCDEFGHIJ", true, "ABCDEFGHIJ", ""},
      {"ABCDEFGHIJK", false, "ABCDEFGHIJK", ""},
      {"高级设置...", true, "高级设", "置..."},  // the cut would fall inside a character
      {"高级设置..!.", true, "高级设置", "..!."},
  };
  for (const auto& c : cases) {
    auto [first, second] = SplitCaption(c.caption, c.twoLines);
    EXPECT_EQ(first, c.first) << c.caption;
    EXPECT_EQ(second, c.second) << c.caption;
  }
}

// The default-certificate template with both buttons skinned as that dialog does it.
class ButtonsDialog : public CQZGUIObj_Dialog1 {
 public:
  CSkinBtn ok, cancel;

 protected:
  void DoDataExchange(ui::DataExchange& exchange) override {
    exchange.Control(IDOK, ok);
    exchange.Control(IDCANCEL, cancel);
  }
  BOOL OnInitDialog() override {
    CQZGUIObj_Dialog1::OnInitDialog();
    SetUpDialogButton(ok, IDB_BUTTON, "确定");
    SetUpDialogButton(cancel, IDB_BUTTON, "取消");
    return TRUE;
  }
};

enum class Caption { White, Red, None };

class SkinnedButton : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCursorPos(0, 0);
    ASSERT_TRUE(dialog.Create(IDD_DEFAULT_CERT, nullptr));
    SetWindowPos(dialog.Handle(), nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(dialog.Handle(), SW_SHOW);
    UpdateWindow(dialog.Handle());
    Pump();
  }
  void TearDown() override { DestroyWindow(dialog.Handle()); }

  HWND Ok() { return dialog.ok.Handle(); }

  void DrawItem(UINT state) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = IDOK;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = Ok();
    GetClientRect(Ok(), &item.rcItem);
    SendMessageA(dialog.Handle(), WM_DRAWITEM, IDOK, reinterpret_cast<LPARAM>(&item));
  }

  void PointerOnButton() {
    RECT r = WindowRect(Ok());
    SetCursorPos(r.left + 10, r.top + 18);
    SendMessageA(Ok(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 18));
  }

  // What the button shows now, read back from its own pixels.
  Caption Shown() {
    unique_window_dc dc(GetDC(Ok()));
    RECT r;
    GetClientRect(Ok(), &r);
    int white = 0, red = 0;
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x) {
        COLORREF p = GetPixel(dc.get(), x, y);
        white += GetRValue(p) >= 245 && GetGValue(p) >= 245 && GetBValue(p) >= 245;
        red += GetRValue(p) >= 200 && GetGValue(p) <= 80 && GetBValue(p) <= 80;
      }
    return red > 8 ? Caption::Red : white > 8 ? Caption::White : Caption::None;
  }

  int DarkPixels() {
    unique_window_dc dc(GetDC(Ok()));
    int dark = 0;
    for (int y = 0; y < 22; ++y)
      for (int x = 0; x < 72; ++x) dark += GetRValue(GetPixel(dc.get(), x, y)) < 100;
    return dark;
  }

  ButtonsDialog dialog;
};

TEST_F(SkinnedButton, CaptionFollowsTheOwnerDrawStates) {
  const struct {
    UINT state;
    Caption shown;
  } cases[] = {
      {0, Caption::White},
      {ODS_FOCUS, Caption::White},  // focused but not tracked
      {ODS_FOCUS | ODS_SELECTED, Caption::None},
      {ODS_DISABLED, Caption::None},
  };
  for (const auto& c : cases) {
    DrawItem(c.state);
    EXPECT_EQ(Shown(), c.shown) << "state 0x" << std::hex << c.state;
  }
}

TEST_F(SkinnedButton, PointerMakesTheCaptionRedUntilTheTimerSeesItLeave) {
  PointerOnButton();
  EXPECT_EQ(Shown(), Caption::Red);
  DrawItem(ODS_FOCUS);
  EXPECT_EQ(Shown(), Caption::Red) << "focused while tracked";
  DrawItem(0);
  EXPECT_EQ(Shown(), Caption::White) << "without focus the normal face, pointer or not";
  SetCursorPos(0, 0);
  ASSERT_TRUE(PumpUntil([&] {
    DrawItem(ODS_FOCUS);
    return Shown() == Caption::White;
  })) << "the hover timer ends tracking";
}

TEST_F(SkinnedButton, DisabledButtonDoesNotTrackUntilEnabledAgain) {
  DrawItem(ODS_DISABLED);
  PointerOnButton();
  DrawItem(ODS_FOCUS);
  EXPECT_EQ(Shown(), Caption::White) << "no hover tracking after the disabled flag";
  SendMessageA(Ok(), WM_ENABLE, TRUE, 0);
  PointerOnButton();
  EXPECT_EQ(Shown(), Caption::Red);
}

TEST_F(SkinnedButton, BitmapThatFailsToLoadLeavesOnlyTheBackground) {
  EXPECT_GT(DarkPixels(), 1000) << "the face of bitmap 108";
  dialog.ok.SetBitmaps(4711, 4711, 4711, 4711);
  dialog.ok.SetTextColors(RGB(255, 255, 255), RGB(255, 255, 255));
  EXPECT_EQ(DarkPixels(), 0);
  EXPECT_EQ(Shown(), Caption::None);
}

TEST_F(SkinnedButton, ShowsTheHandCursorAndItsCaptionAsTooltip) {
  EXPECT_TRUE(SendMessageA(Ok(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Ok()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(GetCursor(), LoadCursorA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDC_HAND_CURSOR)));

  dialog.ok.SetToolTipText("新提示");
  char text[80] = "";
  LRESULT tools = 0;
  test::FindThreadWindow([&](HWND window) {
    if (_stricmp(test::ClassOf(window).c_str(), TOOLTIPS_CLASSA) != 0) return false;
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = dialog.Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(Ok());
    tool.lpszText = text;
    SendMessageA(window, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    tools = SendMessageA(window, TTM_GETTOOLCOUNT, 0, 0);
    return *text != '\0';
  });
  EXPECT_STREQ(text, "新提示") << "the second call updates the tip";
  EXPECT_EQ(tools, 1) << "and adds no second tool";
}

// ---- the busy window ----------------------------------------------------------------------

TEST(BusyWindow, IsLayeredAtAlpha200AndCentredOverItsOwnerEvenPastTheScreenEdge) {
  for (POINT ownerAt : {POINT{100, 80}, POINT{-150, -60}}) {
    SCOPED_TRACE(ownerAt.x);
    CQZGUIObj_Dialog1 owner;
    ASSERT_TRUE(owner.Create(IDD_ENCRYPT, nullptr));
    SetWindowPos(owner.Handle(), nullptr, ownerAt.x, ownerAt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(owner.Handle(), SW_SHOW);
    UpdateWindow(owner.Handle());
    CshowDlg busy;
    ASSERT_TRUE(busy.Create(IDD_BUSY, owner.Handle()));
    EXPECT_NE(GetWindowLongA(busy.Handle(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(busy.Handle(), nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 200);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

    busy.ShowOver(owner.Handle());
    EXPECT_TRUE(IsWindowVisible(busy.Handle()));
    RECT d = WindowRect(owner.Handle()), b = WindowRect(busy.Handle());
    EXPECT_EQ(b.left, d.left + (Width(d) - Width(b)) / 2);
    EXPECT_EQ(b.top, d.top + (Height(d) - Height(b)) / 2);
    DestroyWindow(busy.Handle());
    DestroyWindow(owner.Handle());
  }
}

}  // namespace
}  // namespace qz
