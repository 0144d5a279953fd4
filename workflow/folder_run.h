// What the two folder runs share: how they end, the progress hook, refusals and the loop over
// the listed files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
  // Called from the run's threads, one call at a time: before each file and every few MiB
  // inside a large one.
  std::function<void(const RunProgress&)> progress;

  // From any thread. The file being written is abandoned, the files finished stay.
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

enum class FilesOutcome { AllDone, Failed, Cancelled };
struct FilesResult {
  FilesOutcome outcome;
  std::size_t filesDone;
};

// Calls work(full path, file name) for each file in order and stops at the first that returns
// false, or when the control asks for it.
FilesResult ForEachFile(const std::vector<std::string>& files, RunControl& control,
                        const std::function<bool(const std::string& path, const std::string& name)>& work);

// The run's last message: the success's, the failure's or how many files a cancelled run did.
RunEnd EndRun(MessageSink& sink, const FilesResult& result, const RunMessage& failure, const RunMessage& success,
              const char* cancelledFormat);

}  // namespace qz
