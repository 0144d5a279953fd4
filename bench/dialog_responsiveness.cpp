// dialog_responsiveness CERTS_DIR [MIB] [FILES]: how long the encryption dialog's thread leaves
// messages unanswered while a folder of MIB MiB (64 by default, in FILES files, 16 by default)
// is encrypted. A second thread probes the dialog with SendMessageTimeout every 5 ms and keeps
// the longest wait. Baseline, in the same run: the same folder encrypted by a run on the
// dialog's own thread, as it would be without the run's thread. Prints both beside the runs'
// total times and how long closing the window took; the target for the dialog is under 100 ms.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "cert_store.h"
#include "certificate.h"
#include "dialogs.h"
#include "encryption_run.h"
#include "message_boxes.h"
#include "resource.h"
#include "settings.h"
#include "skinned_dialog.h"
#include "win_app.h"

namespace qz {
namespace {
using Clock = std::chrono::steady_clock;

constexpr char kCertName[] = "Alice 1024";
constexpr char kCertSerial[] = "0A1B";
constexpr char kTitle[] = "文件夹加密";

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The longest time the window's thread took to answer one probe, counting the probes answered
// after StartMeasuring and sent before StopMeasuring, and when that probe was sent (milliseconds
// from StartMeasuring). Those answered before warm up: the first message between two threads
// costs Wine some 50 ms of its own.
class Prober {
 public:
  explicit Prober(HWND window)
      : m_created(Clock::now()), m_thread([this, window] {
          while (!m_stop) {
            const double sent = Now();
            DWORD_PTR result = 0;
            SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 600000, &result);
            const double answered = Now();
            if (answered >= m_from && sent <= m_until && answered - sent > m_longest) {
              m_longest = answered - sent;
              m_longestAt = sent - m_from;
            }
            Sleep(5);
          }
        }) {}
  ~Prober() { Stop(); }
  void StartMeasuring() { m_from = Now(); }
  void StopMeasuring() { m_until = Now(); }
  double Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    return m_longest;
  }
  double LongestAt() const { return m_longestAt; }

 private:
  double Now() const { return std::chrono::duration<double, std::milli>(Clock::now() - m_created).count(); }

  const Clock::time_point m_created;
  std::atomic<bool> m_stop{false};
  std::atomic<double> m_from{1e300}, m_until{1e300}, m_longest{0}, m_longestAt{0};
  std::thread m_thread;
};

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::string TempFolder(const std::string& name) {
  char path[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, path);
  return std::string(path) + name;
}

bool MakeFolder(const std::string& folder, int mib, int files) {
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<char> bytes(static_cast<std::size_t>(mib) * 1024 * 1024 / files);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 2654435761u >> 13);
  for (int i = 0; i < files; ++i) {
    const std::string path = folder + "\\part" + std::to_string(i) + ".bin";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) return false;
  }
  return true;
}

void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

// Keeps answering the window's messages for a while.
void WarmUp(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
}

// A skinned dialog of the same template with no logic: the window the baseline run blocks.
class PlainDialog : public CQZGUIObj_Dialog1 {};

struct Figures {
  double longestUnanswered;  // until the run's last message
  double longestAt;          // from the press of 加密
  double total;              // from the press of 加密 to the run's last message
  double closing;            // from the run's last message until the window is gone
};

// Answers every message box at once and notes when the run's last one came.
class EndNotingBoxes final : public ui::MessageBoxes {
 public:
  int Show(HWND, const std::string&, const std::string&, MessageIcon) override {
    shownAt = Clock::now();
    if (prober) prober->StopMeasuring();
    return IDOK;
  }
  Prober* prober = nullptr;
  Clock::time_point shownAt;
};

EndNotingBoxes& Boxes() {
  static EndNotingBoxes boxes;
  return boxes;
}

Figures RunOnTheDialogsThread(const std::string& source, const std::string& destination) {
  PlainDialog dialog;
  dialog.Create(IDD_ENCRYPT, nullptr);
  ShowWindow(dialog.Handle(), SW_SHOW);
  UpdateWindow(dialog.Handle());
  Prober prober(dialog.Handle());
  Boxes().prober = &prober;
  WarmUp(200);
  prober.StartMeasuring();
  const Clock::time_point start = Clock::now();
  ui::OwnedMessageSink sink(dialog.Handle());
  OnEncrypt({source, destination, kCertName, {}}, SettingsFile::OfUser(), sink);
  const double total = std::chrono::duration<double, std::milli>(Boxes().shownAt - start).count();
  Pump();
  DestroyWindow(dialog.Handle());
  const double closing = MillisecondsSince(Boxes().shownAt);
  const double longest = prober.Stop();
  Boxes().prober = nullptr;
  return {longest, prober.LongestAt(), total, closing};
}

HWND FindDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) -> BOOL {
        char title[64] = "";
        GetWindowTextA(window, title, sizeof title);
        if (IsWindowVisible(window) && std::string(title) == kTitle) *reinterpret_cast<HWND*>(param) = window;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

Figures RunThroughTheDialog(const std::string& source, const std::string& destination) {
  dialogs::OpenEncryptionDialog(source, destination);
  Pump();
  HWND dialog = FindDialog();
  if (!dialog) return {-1, 0, -1, -1};
  Prober prober(dialog);
  Boxes().prober = &prober;
  WarmUp(200);
  prober.StartMeasuring();
  const Clock::time_point start = Clock::now();
  SendMessageA(GetDlgItem(dialog, IDC_UPPER_ENCRYPT), BM_CLICK, 0, 0);
  while (IsWindow(dialog)) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
  const double total = std::chrono::duration<double, std::milli>(Boxes().shownAt - start).count();
  const double closing = MillisecondsSince(Boxes().shownAt);
  const double longest = prober.Stop();
  Boxes().prober = nullptr;
  return {longest, prober.LongestAt(), total, closing};
}

int Measure(const std::string& certs, int mib, int files) {
  ImportResult imported = ImportCertificateFile(certs + "\\alice1024.p12", "test");
  if (!imported.ok) {
    std::fprintf(stderr, "cannot import the test certificate: %s\n", imported.error.c_str());
    return 1;
  }
  WriteDefaultCertificate(SettingsFile::OfUser(), kCertName, kCertSerial);
  const std::string source = TempFolder("qz-responsiveness"), baseline = source + ".baseline.qz",
                    throughDialog = source + ".qz";
  if (!MakeFolder(source, mib, files)) {
    std::fprintf(stderr, "cannot write the folder %s\n", source.c_str());
    return 1;
  }
  const Figures before = RunOnTheDialogsThread(source, baseline);
  const Figures now = RunThroughTheDialog(source, throughDialog);
  std::printf("folder: %d MiB in %d files\n", mib, files);
  std::printf("baseline, run on the dialog's thread: longest unanswered %8.1f ms (at %7.1f ms), run %8.1f ms, "
              "closing %6.1f ms\n",
              before.longestUnanswered, before.longestAt, before.total, before.closing);
  std::printf("dialog, run on its own thread:        longest unanswered %8.1f ms (at %7.1f ms), run %8.1f ms, "
              "closing %6.1f ms  (target < 100 ms unanswered)\n",
              now.longestUnanswered, now.longestAt, now.total, now.closing);
  for (const std::string& folder : {source, baseline, throughDialog}) RemoveFolder(folder);
  return now.longestUnanswered >= 0 ? 0 : 1;
}

}  // namespace
}  // namespace qz

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialog_responsiveness CERTS_DIR [MIB] [FILES]\n");
    return 64;
  }
  const int mib = argc > 2 ? std::atoi(argv[2]) : 64;
  const int files = argc > 3 ? std::atoi(argv[3]) : 16;
  if (mib <= 0 || files <= 0) return 64;
  qz::ui::WinApp app(GetModuleHandleA(nullptr));
  app.SetMessages(&qz::Boxes());
  return qz::Measure(argv[1], mib, files);
}
