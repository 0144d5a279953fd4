// A dialog that carries a folder run on a thread of its own, so that its window (and the file
// manager around it) keeps answering while files are encrypted or decrypted. The run's message
// boxes are still shown by the dialog's thread, owned by the dialog; its progress is painted in
// the title strip; 取消 or the close box ask it to stop; its end closes the dialog unless it
// refused its inputs. Other work that must not block the dialog (a directory search) goes the
// same way.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

#include "folder_dialog.h"
#include "folder_run.h"
#include "message_sink.h"
#include "unique_handle.h"

namespace qz::dialogs {

struct RunLink;

inline void CloseThreadHandle(HANDLE thread) { CloseHandle(thread); }
using unique_thread = unique_handle<HANDLE, CloseThreadHandle>;

class RunningDialog : public FolderDialog {
 public:
  // What a run does on its thread; the sink shows its messages on the dialog's thread.
  using RunBody = std::function<RunEnd(MessageSink& sink, RunControl& control)>;

  bool RunWorking() const { return m_run != nullptr; }

  static const ui::MessageMap& ClassMessageMap();

 protected:
  // `unexplained`: shown when a run ends Failed without having said why.
  explicit RunningDialog(RunMessage unexplained) : m_unexplained(unexplained) {}
  const ui::MessageMap& GetMessageMap() const override { return ClassMessageMap(); }

  // False (with a message) when no thread could be started.
  bool StartRun(RunBody body);
  // Work that cannot be stopped, done on the run's thread like a run: meanwhile the dialog takes
  // no run and no other work, and 取消 or the close box end the dialog at once, leaving the work
  // to finish unseen. `whenDone` is called on the dialog's thread once the work is done, unless
  // the dialog has ended before. False (without a message) when no thread could be started.
  bool StartWork(std::function<void()> work, std::function<void()> whenDone);

  // While a run works: asks it to stop; while other work is done, or nothing: the dialog ends.
  void OnCancel() override;
  void OnDestroying() override;

 private:
  LRESULT OnShowRunMessage(WPARAM wParam, LPARAM lParam);
  LRESULT OnRunProgress(WPARAM wParam, LPARAM lParam);
  LRESULT OnRunEnded(WPARAM wParam, LPARAM lParam);
  LRESULT OnPaint(WPARAM wParam, LPARAM lParam);

  // False when no thread could be started.
  bool StartThread(RunBody body);

  RECT TitleStrip() const;
  // "3/10 a.txt" and the percentage in the strip, and a bar along its lower edge.
  void PaintProgress(HDC dc, const RunProgress& progress) const;

  RunMessage m_unexplained;
  std::shared_ptr<RunLink> m_run;  // while a run or other work is done
  std::function<void()> m_whenWorkDone;  // while other work is done
  unique_thread m_thread;
  std::optional<RunProgress> m_progress;
};

}  // namespace qz::dialogs
