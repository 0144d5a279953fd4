// The folder runs behind the dialogs on their own thread: the dialog answers while a run works,
// takes no second run and no other command, stops a run on 取消 or the close box, and a run
// that breaks off always says why.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "dialog_test_support.h"
#include "dialogs.h"
#include "naming.h"
#include "resource.h"
#include "running_dialog.h"

namespace qz::test {
namespace {

constexpr char kTitle[] = "文件夹加密";
constexpr int kFiles = 32;
constexpr std::size_t kFileSize = 1 << 20;

std::vector<std::string> ManyNames() {
  std::vector<std::string> names;
  for (int i = 0; i < kFiles; ++i) names.push_back("file" + std::to_string(100 + i) + ".bin");
  return names;
}

class DialogRun : public DialogTest {
 protected:
  // A source of many files, the default certificate set, and the dialog open on them.
  HWND OpenOnLargeFolder() {
    MakeFolder(source, ManyNames(), kFileSize);
    SetDefaultCertificate(kAliceName, kAlice1024);
    dialogs::OpenEncryptionDialog(source, destination);
    return WaitForDialog(kTitle);
  }

  std::string source = scratch.Path("docs"), destination = scratch.Path("docs.qz");
};

// Probes the dialog from another thread, the way the file manager's other windows would meet a
// frozen thread, for as long as the run has not shown its last message.
class Prober {
 public:
  explicit Prober(HWND dialog)
      : m_thread([this, dialog] {
          while (!m_stop) {
            DWORD_PTR result = 0;
            const bool answered = SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result) != 0;
            if (answered && !m_runShownItsEnd) ++m_answeredDuringRun;
            Sleep(20);
          }
        }) {}
  ~Prober() {
    m_stop = true;
    m_thread.join();
  }
  void RunShownItsEnd() { m_runShownItsEnd = true; }
  int AnsweredDuringRun() const { return m_answeredDuringRun; }

 private:
  std::atomic<bool> m_stop{false}, m_runShownItsEnd{false};
  std::atomic<int> m_answeredDuringRun{0};
  std::thread m_thread;
};

TEST_F(DialogRun, TheDialogAnswersWhileItsRunWorksAndTakesNoOtherCommand) {
  HWND window = OpenOnLargeFolder();
  ASSERT_TRUE(window);
  Prober prober(window);
  Click(window, IDC_UPPER_ENCRYPT);
  Screenshot("run-in-progress");
  {
    // Were they taken, the chooser would be cancelled and say so, and a second run would end
    // with a second message.
    auto chooser = AnswerFolderChooser("请你选择用于加密的文件夹!", std::nullopt);
    Click(window, IDC_CHOOSE_SOURCE);
    Click(window, IDC_UPPER_ENCRYPT);
    Click(window, IDC_CHANGE_CERT);
  }
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (!Boxes().empty()) prober.RunShownItsEnd();
        return !IsWindow(window);
      },
      300000));
  EXPECT_GT(prober.AnsweredDuringRun(), 0);
  EXPECT_EQ(Boxes(), (std::vector<Box>{{"加密成功!", "信息提示", MessageIcon::Exclamation}}));
  EXPECT_TRUE(DialogsTitled("设置默认数字证书").empty());
  EXPECT_EQ(FilesIn(destination).size(), std::size_t(kFiles));
}

struct CancelCase {
  const char* name;
  void (*cancel)(HWND dialog);
};

TEST_F(DialogRun, CancelOrTheCloseBoxStopsTheRunKeepsTheFinishedFilesAndSaysHowManyThenEnds) {
  const CancelCase cases[] = {
      {"取消 below", [](HWND dialog) { Click(dialog, IDCANCEL); }},
      {"取消 above", [](HWND dialog) { Click(dialog, IDC_UPPER_CANCEL); }},
      {"close box", [](HWND dialog) { SendMessageA(dialog, WM_CLOSE, 0, 0); }},
  };
  MakeFolder(source, ManyNames(), kFileSize);
  SetDefaultCertificate(kAliceName, kAlice1024);
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = Boxes().size();
    const std::string target = scratch.Path(std::string("out") + std::to_string(before));
    dialogs::OpenEncryptionDialog(source, target);
    HWND window = WaitForDialog(kTitle);
    ASSERT_TRUE(window);
    Click(window, IDC_UPPER_ENCRYPT);
    c.cancel(window);
    ASSERT_TRUE(WaitGone(window, 300000));
    ASSERT_EQ(Boxes().size(), before + 1);
    const Box shown = Boxes().back();
    int done = -1;
    ASSERT_EQ(std::sscanf(shown.text.c_str(), "加密已取消,已加密%d个文件!", &done), 1) << shown;
    EXPECT_EQ(shown.caption, "信息提示");
    EXPECT_EQ(shown.icon, MessageIcon::Information);
    EXPECT_LT(done, kFiles);
    const std::vector<std::string> written = FilesIn(target);
    ASSERT_EQ(written.size(), std::size_t(done)) << "the finished files and nothing else";
    for (const std::string& name : written)
      EXPECT_TRUE(DecryptsTo(JoinPath(target, name), JoinPath(source, PlainNameOf(name)), kAlice1024)) << name;
  }
}

TEST_F(DialogRun, CancellingADecryptionKeepsTheFilesDecryptedSoFar) {
  MakeFolder(source, ManyNames(), kFileSize);
  EncryptFolder(source, destination, std::string(kAlice1024) + "&");
  const std::string plain = scratch.Path("plain");
  dialogs::OpenDecryptionDialog(destination, plain);
  HWND window = WaitForDialog("解密文件夹");
  ASSERT_TRUE(window);
  Click(window, IDOK);
  Click(window, IDCANCEL);
  ASSERT_TRUE(WaitGone(window, 300000));
  ASSERT_EQ(Boxes().size(), 1u);
  const Box shown = Boxes().back();
  int done = -1;
  ASSERT_EQ(std::sscanf(shown.text.c_str(), "解密已取消,已解密%d个文件!", &done), 1) << shown;
  EXPECT_EQ(shown.caption, "信息提示");
  EXPECT_LT(done, kFiles);
  const std::vector<std::string> written = FilesIn(plain);
  ASSERT_EQ(written.size(), std::size_t(done));
  for (const std::string& name : written) EXPECT_EQ(ReadBytes(JoinPath(plain, name)), ReadBytes(JoinPath(source, name)));
}

// A dialog whose run the test writes itself.
class ScriptedRunDialog : public dialogs::RunningDialog {
 public:
  ScriptedRunDialog() : RunningDialog({"运行意外中止!", "出错信息", MessageIcon::Error}) {}
  using RunningDialog::StartRun;
};

struct ScriptedCase {
  const char* name;
  RunEnd (*run)(MessageSink& sink);
  std::vector<Box> shown;
  bool staysOpen;
};

TEST_F(DialogRun, ARunThatBreaksOffAlwaysSaysWhyAndOnlyARefusalKeepsTheDialog) {
  const Box unexplained{"运行意外中止!", "出错信息", MessageIcon::Error};
  const ScriptedCase cases[] = {
      {"throws", [](MessageSink&) -> RunEnd { throw std::runtime_error("broken"); }, {unexplained}, false},
      {"fails silently", [](MessageSink&) { return RunEnd::Failed; }, {unexplained}, false},
      {"fails with an empty text",
       [](MessageSink& sink) {
         sink.Show("", "错误提示", MessageIcon::Information);
         return RunEnd::Failed;
       },
       {{"运行意外中止!", "错误提示", MessageIcon::Information}},
       false},
      {"fails with a reason",
       [](MessageSink& sink) {
         sink.Show("打开文件失败!", "出错信息", MessageIcon::Error);
         return RunEnd::Failed;
       },
       {{"打开文件失败!", "出错信息", MessageIcon::Error}},
       false},
      {"refused", [](MessageSink&) { return RunEnd::Refused; }, {}, true},
  };
  for (const ScriptedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = Boxes().size();
    auto* dialog = new ScriptedRunDialog;
    ASSERT_TRUE(dialog->CreateOwnWindow(IDD_DECRYPT, nullptr));
    HWND window = dialog->Handle();
    auto run = c.run;
    ASSERT_TRUE(dialog->StartRun([run](MessageSink& sink, RunControl&) { return run(sink); }));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(window) || !dialog->RunWorking(); }, 30000));
    Pump(100);
    EXPECT_EQ(BoxesSince(before), c.shown);
    EXPECT_EQ(IsWindow(window) != FALSE, c.staysOpen);
    if (IsWindow(window)) DestroyWindow(window);
  }
}

}  // namespace
}  // namespace qz::test
