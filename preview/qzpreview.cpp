// qzpreview TEMPLATE [--at X Y] [--close-after MS]: shows one of the library's dialogs with
// the skinned look and its buttons set up as the dialog will set them, before the dialog's
// own logic exists. TEMPLATE 101, 103 or 104 shows that dialog; 105 shows the busy window
// centred over the encryption dialog. The dialog's top-left corner goes to X, Y (centred on
// the screen without --at). Exits with the value the dialog ended with: 1 for OK, 2 for
// Cancel (the close box too), 0 when MS milliseconds ran out first, 3 when the dialog could
// not be made, 64 for a wrong command.
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "busy_window.h"
#include "button_looks.h"
#include "button_set.h"
#include "resource.h"
#include "skinned_dialog.h"
#include "win_app.h"

namespace qz {
namespace {

class PreviewDialog : public CQZGUIObj_Dialog1 {
 public:
  explicit PreviewDialog(const std::vector<ButtonLook>& looks) : m_buttons(looks) {}

 protected:
  void DoDataExchange(ui::DataExchange& exchange) override { m_buttons.Bind(exchange); }

  BOOL OnInitDialog() override {
    CQZGUIObj_Dialog1::OnInitDialog();
    m_buttons.SetUp();
    return TRUE;
  }

 private:
  SkinButtonSet m_buttons;
};

struct Options {
  int templateId = 0;
  std::optional<POINT> at;
  UINT closeAfter = 0;
};

std::optional<int> ParseNumber(const char* text) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end || value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  if (argc < 2) return std::nullopt;
  auto id = ParseNumber(argv[1]);
  if (!id || (*id != IDD_ENCRYPT && *id != IDD_DEFAULT_CERT && *id != IDD_DECRYPT && *id != IDD_BUSY))
    return std::nullopt;
  options.templateId = *id;
  for (int i = 2; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--at" && i + 2 < argc) {
      auto x = ParseNumber(argv[++i]);
      auto y = ParseNumber(argv[++i]);
      if (!x || !y) return std::nullopt;
      options.at = POINT{*x, *y};
    } else if (option == "--close-after" && i + 1 < argc) {
      auto ms = ParseNumber(argv[++i]);
      if (!ms || *ms <= 0) return std::nullopt;
      options.closeAfter = static_cast<UINT>(*ms);
    } else {
      return std::nullopt;
    }
  }
  return options;
}

const std::vector<ButtonLook>& LooksOf(int templateId) {
  if (templateId == IDD_DEFAULT_CERT) return DefaultCertificateDialogButtons();
  if (templateId == IDD_DECRYPT) return DecryptionDialogButtons();
  return EncryptionDialogButtons();
}

void Place(ui::Dialog& dialog, const std::optional<POINT>& at) {
  if (at)
    SetWindowPos(dialog.Handle(), nullptr, at->x, at->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  else
    dialog.CenterWindow();
  ShowWindow(dialog.Handle(), SW_SHOW);
  UpdateWindow(dialog.Handle());
}

int RunUntilEnded(ui::Dialog& dialog, UINT closeAfter) {
  UINT_PTR timer = closeAfter ? SetTimer(nullptr, 0, closeAfter, nullptr) : 0;
  MSG message;
  while (dialog.Result() == 0 && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && !message.hwnd && message.wParam == timer) break;
    // No IsDialogMessage: like the file manager's loop. The dialog handles its keys itself.
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return dialog.Result();
}

constexpr int kNotShown = 3;  // apart from IDOK and IDCANCEL

int Preview(const Options& options) {
  int shown = options.templateId == IDD_BUSY ? IDD_ENCRYPT : options.templateId;
  PreviewDialog dialog(LooksOf(shown));
  if (!dialog.Create(shown, nullptr)) return kNotShown;
  Place(dialog, options.at);
  CshowDlg busy;
  if (options.templateId == IDD_BUSY) {
    if (!busy.Create(IDD_BUSY, dialog.Handle())) return kNotShown;
    busy.ShowOver(dialog.Handle());
  }
  return RunUntilEnded(dialog, options.closeAfter);
}

}  // namespace
}  // namespace qz

int main(int argc, char** argv) {
  auto options = qz::ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: qzpreview 101|103|104|105 [--at X Y] [--close-after MS]\n");
    return 64;
  }
  qz::ui::WinApp app(GetModuleHandleA(nullptr));
  return qz::Preview(*options);
}
