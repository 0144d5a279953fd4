#include "running_dialog.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "handles.h"
#include "win_app.h"

namespace qz::dialogs {
namespace {
// Private messages of the dialogs: from the run's thread to the dialog's.
constexpr UINT kShowRunMessage = WM_APP + 0x51;  // lParam: const ShowRequest*, sent
constexpr UINT kRunProgress = WM_APP + 0x52;     // posted, at most one waiting at a time
constexpr UINT kRunEnded = WM_APP + 0x53;        // wParam: RunEnd, posted

constexpr int kStripHeight = 24;
constexpr int kCloseBoxRoom = 26;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBarColor = RGB(0, 170, 60);

struct ShowRequest {
  const std::string& text;
  const std::string& caption;
  MessageIcon icon;
};

// Of the bytes when the run counts them, else of the files finished.
int ProgressPercent(const RunProgress& progress) {
  std::uint64_t done = progress.bytesDone, total = progress.bytesTotal;
  if (total == 0) {
    done = progress.fileNumber > 0 ? progress.fileNumber - 1 : 0;
    total = progress.fileCount;
  }
  return total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(done, total) * 100 / total);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  SetDCBrushColor(dc, color);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

int TextWidth(HDC dc, const std::string& text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

// The title as the system holds it, wide, so that its width is right on any ANSI code page.
int TitleWidth(HDC dc, HWND window) {
  std::wstring title(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  title.resize(static_cast<std::size_t>(GetWindowTextW(window, title.data(), static_cast<int>(title.size()))));
  SIZE size{};
  GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &size);
  return size.cx;
}
}  // namespace

// What the dialog and its run's thread share. The dialog's handle is cleared when the dialog
// goes away first; from then on the run's messages and progress reach nobody.
struct RunLink {
  explicit RunLink(HWND dialog) : m_dialog(dialog) {}

  RunControl control;

  HWND Dialog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dialog;
  }
  void Forget() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dialog = nullptr;
  }
  // Keeps the latest report; the dialog has at most one progress message waiting.
  void PostProgress(const RunProgress& progress) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = progress;
    if (m_dialog && !m_progressPosted) m_progressPosted = PostMessageA(m_dialog, kRunProgress, 0, 0) != FALSE;
  }
  RunProgress TakeProgress() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progressPosted = false;
    return m_pending;
  }
  void PostEnd(RunEnd end) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_dialog) PostMessageA(m_dialog, kRunEnded, static_cast<WPARAM>(end), 0);
  }

 private:
  std::mutex m_mutex;
  HWND m_dialog;
  RunProgress m_pending;
  bool m_progressPosted = false;
};

namespace {
// The run's sink, called on the run's thread: each message waits until the dialog's thread has
// shown it and the user has answered.
class DialogThreadSink final : public MessageSink {
 public:
  DialogThreadSink(RunLink& link, const RunMessage& unexplained) : m_link(link), m_unexplained(unexplained) {}

  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
    m_shown = true;
    // A failure must say something, even when the engine kept no text.
    const std::string shownText = text.empty() ? std::string(m_unexplained.text) : text;
    ShowRequest request{shownText, caption, icon};
    if (HWND dialog = m_link.Dialog()) SendMessageA(dialog, kShowRunMessage, 0, reinterpret_cast<LPARAM>(&request));
  }
  void ExplainIfSilent() {
    if (!m_shown) Show(m_unexplained.text, m_unexplained.caption, m_unexplained.icon);
  }

 private:
  RunLink& m_link;
  const RunMessage& m_unexplained;
  bool m_shown = false;
};

struct RunThreadStart {
  std::shared_ptr<RunLink> link;
  RunningDialog::RunBody body;
  RunMessage unexplained;
  HMODULE module;  // one reference of the module that holds this code, let go of by the thread
};

void RunAndReport(RunThreadStart& start) noexcept {
  try {
    DialogThreadSink sink(*start.link, start.unexplained);
    RunEnd end = RunEnd::Failed;
    try {
      end = start.body(sink, start.link->control);
    } catch (...) {
      end = RunEnd::Failed;
    }
    if (end == RunEnd::Failed) sink.ExplainIfSilent();
    start.link->PostEnd(end);
  } catch (...) {
    // Nothing may leave a thread; without a mutex or a window there is no one left to tell.
  }
}

DWORD WINAPI RunThread(void* param) {
  HMODULE module = nullptr;
  {
    std::unique_ptr<RunThreadStart> start(static_cast<RunThreadStart*>(param));
    module = start->module;
    RunAndReport(*start);
  }
  ui::UnlockModule();
  // The module stays mapped until the thread has left its code for good.
  FreeLibraryAndExitThread(module, 0);
}
}  // namespace

const ui::MessageMap& RunningDialog::ClassMessageMap() {
  static const ui::MessageMap map{&FolderDialog::ClassMessageMap(),
                                  {
                                      ui::OnMessage<&RunningDialog::OnShowRunMessage>(kShowRunMessage),
                                      ui::OnMessage<&RunningDialog::OnRunProgress>(kRunProgress),
                                      ui::OnMessage<&RunningDialog::OnRunEnded>(kRunEnded),
                                      ui::OnMessage<&RunningDialog::OnPaint>(WM_PAINT),
                                  }};
  return map;
}

bool RunningDialog::StartRun(RunBody body) {
  if (StartThread(std::move(body))) return true;
  ShowMessage(m_unexplained.text, m_unexplained.caption, m_unexplained.icon);
  return false;
}

bool RunningDialog::StartWork(std::function<void()> work, std::function<void()> whenDone) {
  auto body = [work = std::move(work)](MessageSink&, RunControl&) {
    try {
      work();
    } catch (...) {
      // The work keeps its own account of how it went; whenDone is called all the same.
    }
    return RunEnd::Succeeded;
  };
  if (!StartThread(std::move(body))) return false;
  m_whenWorkDone = std::move(whenDone);
  return true;
}

bool RunningDialog::StartThread(RunBody body) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&RunThread), &module))
    return false;
  auto link = std::make_shared<RunLink>(Handle());
  link->control.progress = [raw = link.get()](const RunProgress& progress) { raw->PostProgress(progress); };
  auto start = std::make_unique<RunThreadStart>(RunThreadStart{link, std::move(body), m_unexplained, module});
  ui::LockModule();
  unique_thread thread(CreateThread(nullptr, 0, &RunThread, start.get(), 0, nullptr));
  if (!thread) {
    ui::UnlockModule();
    FreeLibrary(module);
    return false;
  }
  start.release();  // the thread's now
  m_run = std::move(link);
  m_thread = std::move(thread);
  return true;
}

void RunningDialog::OnCancel() {
  if (m_run && !m_whenWorkDone) {
    m_run->control.RequestCancel();
    return;
  }
  FolderDialog::OnCancel();
}

void RunningDialog::OnDestroying() {
  if (m_run) {
    m_run->control.RequestCancel();
    m_run->Forget();
    m_run.reset();
  }
  m_whenWorkDone = nullptr;
  m_thread.reset();
}

LRESULT RunningDialog::OnShowRunMessage(WPARAM, LPARAM lParam) {
  const auto& request = *reinterpret_cast<const ShowRequest*>(lParam);
  ShowMessage(request.text, request.caption, request.icon);
  return 0;
}

LRESULT RunningDialog::OnRunProgress(WPARAM, LPARAM) {
  if (!m_run) return 0;
  m_progress = m_run->TakeProgress();
  RECT strip = TitleStrip();
  InvalidateRect(Handle(), &strip, TRUE);
  return 0;
}

LRESULT RunningDialog::OnRunEnded(WPARAM wParam, LPARAM) {
  m_run.reset();
  m_thread.reset();
  if (auto whenDone = std::exchange(m_whenWorkDone, nullptr)) {
    whenDone();
    return 0;
  }
  m_progress.reset();
  RECT strip = TitleStrip();
  InvalidateRect(Handle(), &strip, TRUE);
  // A refused input leaves the dialog open for another try; any other end closes it.
  if (static_cast<RunEnd>(wParam) != RunEnd::Refused) Dialog::OnOK();
  return 0;
}

LRESULT RunningDialog::OnPaint(WPARAM wParam, LPARAM lParam) {
  if (!m_progress) return Default(WM_PAINT, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(Handle(), &paint);  // the skinned body and strip come with the erase
  PaintProgress(dc, *m_progress);
  EndPaint(Handle(), &paint);
  return 0;
}

RECT RunningDialog::TitleStrip() const {
  RECT client;
  GetClientRect(Handle(), &client);
  return {client.left + 1, client.top + 1, client.right - 1, client.top + 1 + kStripHeight};
}

void RunningDialog::PaintProgress(HDC dc, const RunProgress& progress) const {
  ui::DcState state(dc);
  if (auto font = reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0))) SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kWhite);
  const RECT strip = TitleStrip();
  const int percent = ProgressPercent(progress);
  const std::string counts = std::to_string(progress.fileNumber) + "/" + std::to_string(progress.fileCount) + " ";
  const std::string percentText = std::to_string(percent) + "%";

  RECT text{strip.left + 6 + TitleWidth(dc, Handle()) + 16, strip.top, strip.right - kCloseBoxRoom,
            strip.bottom};
  constexpr UINT kLine = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  DrawTextA(dc, percentText.c_str(), -1, &text, kLine | DT_RIGHT);
  text.right -= TextWidth(dc, percentText) + 8;
  const std::string file = counts + progress.fileName;
  if (text.right > text.left) DrawTextA(dc, file.c_str(), -1, &text, kLine | DT_LEFT | DT_END_ELLIPSIS);

  const int barWidth = (strip.right - strip.left) * percent / 100;
  FillSolid(dc, {strip.left, strip.bottom - 3, strip.left + barWidth, strip.bottom}, kBarColor);
}

}  // namespace qz::dialogs
