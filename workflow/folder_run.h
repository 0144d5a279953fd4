// What the two folder runs share: how they end, the progress hook, refusals and the work on
// the listed files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_cipher.h"
#include "file_io.h"
#include "message_sink.h"

namespace qz {

enum class RunEnd {
  Refused,    // an input check failed: the dialog stays open for another try
  Succeeded,  // the success message was shown: the dialog closes
  Failed,     // a file failed or the run broke off: the dialog closes
  Cancelled,  // stopped on request, the message of how many files were done shown: the dialog closes
};

// Where a run stands: the file being worked on (from 1, in listing order) and the bytes done
// of all the run's files.
struct RunProgress {
  std::size_t fileNumber = 0;
  std::size_t fileCount = 0;
  std::string fileName;
  std::uint64_t bytesDone = 0;
  std::uint64_t bytesTotal = 0;
};

// What the one who started a run sees of it while it works, and how it asks the run to stop.
class RunControl {
 public:
  // Workers for the files of one run; 0 takes one per core.
  unsigned jobs = 0;
  // Called from the run's threads, one call at a time and while the run's bookkeeping waits
  // for it, so it should be quick: before each file and every few MiB inside a large one.
  std::function<void(const RunProgress&)> progress;

  // From any thread. At their next chunk the files being written are abandoned (an older file
  // of the name stays as it was); the files committed stay.
  void RequestCancel() { m_cancelRequested.store(true); }
  bool CancelRequested() const { return m_cancelRequested.load(); }

 private:
  std::atomic<bool> m_cancelRequested{false};
};

struct RunMessage {
  const char* text;
  const char* caption;
  MessageIcon icon;
};

// Shows a refused input with the error icon.
RunEnd Refuse(MessageSink& sink, const char* text, const char* caption);

// The work on one file of a run, called on the run's workers, each with a CFileCipher of its
// own. `write` leaves the output pending (file_cipher.h); `commit` puts it in place.
struct FileTask {
  std::function<std::string(const std::string& fileName)> outputPath;
  std::function<int(CFileCipher& cipher, const std::string& path, PendingFile& output, const ChunkHook& onChunk)>
      write;
  std::function<int(CFileCipher& cipher, PendingFile& output)> commit;
};

enum class FilesOutcome {
  AllDone,
  Failed,
  Cancelled,
  BrokeOff,  // memory ran out in the run's own bookkeeping: ends without a message
};
struct FilesResult {
  FilesOutcome outcome;
  std::size_t filesDone;    // committed, the first ones in listing order
  std::string failureText;  // of the file that failed
};

// One worker per core for a control's 0, never more than files, and one when the outputs go into
// the folder the files are read from: there an output could be a file still to be read.
unsigned WorkersFor(const RunControl& control, std::size_t fileCount, bool outputsBesideInputs);

// The outcome of working on the files one after another in listing order and stopping at the
// first failure, on any number of workers: files are taken in listing order, each written
// beside its output, and the outputs committed strictly in listing order. From a failed file on
// nothing is committed (the temporaries of later files are removed), and a cancel abandons the
// files being written. Progress is told as one worker would tell it: the files' starts and
// every kProgressStep bytes inside each file, in listing order, counted in input bytes.
FilesResult RunFiles(const std::vector<std::string>& files, unsigned workers, RunControl& control,
                     const FileTask& task);
inline constexpr std::uint64_t kProgressStep = 4 << 20;

// How a run of one kind tells its end.
struct RunEnding {
  const char* failureCaption;
  MessageIcon failureIcon;  // the failure's text is the failed file's
  RunMessage success;
  const char* cancelledFormat;  // %s: the number of files done
};
RunEnd EndRun(MessageSink& sink, const FilesResult& result, const RunEnding& ending);

}  // namespace qz
