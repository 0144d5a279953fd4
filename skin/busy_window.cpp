#include "busy_window.h"

#include "handles.h"
#include "resource.h"

namespace qz {
namespace {
constexpr BYTE kAlpha = 200;
using SetLayeredWindowAttributesFunction = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
}  // namespace

CshowDlg::CshowDlg(HWND parent) : Dialog(IDD_BUSY, parent) {}

BOOL CshowDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  unique_module user32(LoadLibraryA("User32.DLL"));
  if (!user32) return TRUE;
  auto setAttributes = reinterpret_cast<SetLayeredWindowAttributesFunction>(
      reinterpret_cast<void*>(GetProcAddress(user32.get(), "SetLayeredWindowAttributes")));
  // A layered window that never gets its attributes is not shown at all: without the function
  // the window stays a plain opaque one.
  if (!setAttributes) return TRUE;
  SetWindowLongA(Handle(), GWL_EXSTYLE, GetWindowLongA(Handle(), GWL_EXSTYLE) | WS_EX_LAYERED);
  setAttributes(Handle(), 0, kAlpha, LWA_ALPHA);
  return TRUE;
}

void CshowDlg::ShowOver(HWND owner) {
  RECT dialog;
  RECT client;
  GetWindowRect(owner, &dialog);
  GetClientRect(Handle(), &client);
  int x = dialog.left + ((dialog.right - dialog.left) - client.right) / 2;
  int y = dialog.top + ((dialog.bottom - dialog.top) - client.bottom) / 2;
  MoveWindow(Handle(), x, y, client.right, client.bottom, TRUE);
  ShowWindow(Handle(), SW_SHOW);
  UpdateWindow(Handle());
}

}  // namespace qz
