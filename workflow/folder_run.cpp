#include "folder_run.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

#include "folder_listing.h"
#include "naming.h"
#include "run_messages.h"

namespace qz {
namespace {

// The files of one run and where each stands, shared by the run's workers under one mutex. A
// worker takes the next file, writes it without the mutex, then settles it: the outputs that
// are next in listing order are committed and the progress caught up.
class FilesRun {
 public:
  FilesRun(const std::vector<std::string>& paths, RunControl& control, const FileTask& task);
  FilesResult Run(unsigned workers);

 private:
  enum class State { Waiting, Running, Written, Committed, Failed, Stopped };
  struct File {
    std::string name;
    std::uint64_t size = 0;
    std::uint64_t bytesBefore = 0;  // the sizes of the files before it
    State state = State::Waiting;
    std::uint64_t stepsDone = 0;          // progress steps passed inside it; written by its worker
    std::unique_ptr<PendingFile> output;  // while written and waiting for its turn
    std::string failureText;
  };

  void WorkSafely() noexcept;
  void Work();
  bool Take(std::size_t& index);
  bool OnChunk(std::size_t index, std::uint64_t bytesRead);
  void Settle(std::size_t index, int result, CFileCipher& cipher, std::unique_ptr<PendingFile> output);
  void CommitInOrder(CFileCipher& cipher);
  void Fail(std::size_t index, const char* text);
  void BreakOff();
  void TellProgress();
  void Tell(const File& file, std::uint64_t bytesInside);
  FilesResult Result() const;

  const std::vector<std::string>& paths_;
  RunControl& control_;
  const FileTask& task_;
  std::uint64_t bytesTotal_ = 0;

  std::mutex mutex_;
  std::vector<File> files_;
  std::size_t next_ = 0;       // the next file to take
  std::size_t committed_ = 0;  // the files before this one are committed
  // Files from this one on are not taken, and stop at their next chunk: they come after a
  // failure, whose outcome they can no longer change.
  std::atomic<std::size_t> stopFrom_;
  bool brokeOff_ = false;
  // The progress told so far: of which file, whether its start, how many of its steps.
  std::size_t toldFile_ = 0;
  bool toldStart_ = false;
  std::uint64_t toldSteps_ = 0;
};

FilesRun::FilesRun(const std::vector<std::string>& paths, RunControl& control, const FileTask& task)
    : paths_(paths), control_(control), task_(task), files_(paths.size()), stopFrom_(paths.size()) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    files_[i].name = FileNameOf(paths[i]);
    files_[i].size = SizeOfFile(paths[i]);
    files_[i].bytesBefore = bytesTotal_;
    bytesTotal_ += files_[i].size;
  }
}

FilesResult FilesRun::Run(unsigned workers) {
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(workers - 1);
    while (helpers.size() + 1 < workers) helpers.emplace_back([this] { WorkSafely(); });
  } catch (...) {
    // Fewer threads than asked for only make the run slower: this one works too.
  }
  WorkSafely();
  for (std::thread& helper : helpers) helper.join();
  return Result();
}

void FilesRun::WorkSafely() noexcept {
  try {
    Work();
  } catch (...) {
    BreakOff();
  }
}

void FilesRun::Work() {
  // Each worker its own: it holds the text of its last failure, and the certificates it found,
  // so that a run looks each up once per worker rather than once per file.
  CFileCipher cipher(CFileCipher::Lookups::PerCipher);
  for (std::size_t index = 0; Take(index);) {
    auto output = std::make_unique<PendingFile>(task_.outputPath(files_[index].name));
    const int result = task_.write(cipher, paths_[index], *output,
                                   [this, index](std::uint64_t bytesRead) { return OnChunk(index, bytesRead); });
    Settle(index, result, cipher, std::move(output));
  }
}

bool FilesRun::Take(std::size_t& index) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (next_ >= stopFrom_ || brokeOff_ || control_.CancelRequested()) return false;
  index = next_++;
  files_[index].state = State::Running;
  TellProgress();
  return true;
}

bool FilesRun::OnChunk(std::size_t index, std::uint64_t bytesRead) {
  if (index >= stopFrom_ || control_.CancelRequested()) return false;
  File& file = files_[index];
  // Counted against the size listed, so that a file growing meanwhile cannot run past the total.
  const std::uint64_t steps = std::min(bytesRead, file.size) / kProgressStep;
  if (!control_.progress || steps == file.stepsDone) return true;
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    file.stepsDone = steps;
    TellProgress();
    return true;
  } catch (...) {
    // Inside the engine an exception would pass for the file's own failure.
    BreakOff();
    return false;
  }
}

void FilesRun::Settle(std::size_t index, int result, CFileCipher& cipher, std::unique_ptr<PendingFile> output) {
  std::lock_guard<std::mutex> lock(mutex_);
  File& file = files_[index];
  if (result == kSuccess) {
    file.state = State::Written;
    file.output = std::move(output);
  } else if (result == kStopped) {
    file.state = State::Stopped;
  } else {
    Fail(index, cipher.ErrorText());
  }
  CommitInOrder(cipher);
  TellProgress();
}

void FilesRun::CommitInOrder(CFileCipher& cipher) {
  for (; committed_ < files_.size() && files_[committed_].state == State::Written; ++committed_) {
    File& file = files_[committed_];
    const int result = task_.commit(cipher, *file.output);
    file.output.reset();
    if (result != kSuccess) return Fail(committed_, cipher.ErrorText());
    file.state = State::Committed;
  }
}

void FilesRun::Fail(std::size_t index, const char* text) {
  files_[index].state = State::Failed;
  files_[index].failureText = text;
  if (index + 1 < stopFrom_) stopFrom_ = index + 1;
}

void FilesRun::BreakOff() {
  std::lock_guard<std::mutex> lock(mutex_);
  brokeOff_ = true;
  stopFrom_ = 0;
}

// Tells what one worker would have told by now: every file's start and steps in listing order,
// a file's only once all before it are committed.
void FilesRun::TellProgress() {
  if (!control_.progress) return;
  for (; toldFile_ < files_.size(); ++toldFile_, toldStart_ = false, toldSteps_ = 0) {
    const File& file = files_[toldFile_];
    if (file.state == State::Waiting) return;
    if (!toldStart_) {
      toldStart_ = true;
      Tell(file, 0);
    }
    while (toldSteps_ < file.stepsDone) Tell(file, ++toldSteps_ * kProgressStep);
    if (file.state != State::Committed) return;
  }
}

void FilesRun::Tell(const File& file, std::uint64_t bytesInside) {
  control_.progress({toldFile_ + 1, files_.size(), file.name, file.bytesBefore + bytesInside, bytesTotal_});
}

FilesResult FilesRun::Result() const {
  if (committed_ == files_.size()) return {FilesOutcome::AllDone, committed_, {}};
  const File& first = files_[committed_];
  if (first.state == State::Failed) return {FilesOutcome::Failed, committed_, first.failureText};
  // Otherwise it was stopped or never taken: on request, or because the run broke off.
  return {brokeOff_ ? FilesOutcome::BrokeOff : FilesOutcome::Cancelled, committed_, {}};
}

}  // namespace

RunEnd Refuse(MessageSink& sink, const char* text, const char* caption) {
  sink.Show(text, caption, MessageIcon::Error);
  return RunEnd::Refused;
}

unsigned WorkersFor(const RunControl& control, std::size_t fileCount, bool outputsBesideInputs) {
  if (outputsBesideInputs) return 1;
  const unsigned asked = control.jobs != 0 ? control.jobs : std::max(1u, std::thread::hardware_concurrency());
  return unsigned(std::max<std::size_t>(1, std::min<std::size_t>(asked, fileCount)));
}

FilesResult RunFiles(const std::vector<std::string>& files, unsigned workers, RunControl& control,
                     const FileTask& task) {
  FilesRun run(files, control, task);
  return run.Run(workers);
}

RunEnd EndRun(MessageSink& sink, const FilesResult& result, const RunEnding& ending) {
  switch (result.outcome) {
    case FilesOutcome::AllDone:
      sink.Show(ending.success.text, ending.success.caption, ending.success.icon);
      return RunEnd::Succeeded;
    case FilesOutcome::Failed:
      sink.Show(result.failureText, ending.failureCaption, ending.failureIcon);
      return RunEnd::Failed;
    case FilesOutcome::BrokeOff:
      return RunEnd::Failed;
    case FilesOutcome::Cancelled:
      break;
  }
  std::string text = ending.cancelledFormat;
  text.replace(text.find("%s"), 2, std::to_string(result.filesDone));
  sink.Show(text, caption::kInformation, MessageIcon::Information);
  return RunEnd::Cancelled;
}

}  // namespace qz
