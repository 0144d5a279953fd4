// What the two folder runs share: how they end, the progress hook, refusals and the loop over
// the listed files.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "message_sink.h"

namespace qz {

enum class RunEnd {
  Refused,    // an input check failed: the dialog stays open for another try
  Succeeded,  // the success message was shown: the dialog closes
  Failed,     // a file failed or the run broke off: the dialog closes
};

// Called before each file with its number (from 1), the number of files and the file's name.
using FileProgress = std::function<void(std::size_t number, std::size_t count, const std::string& fileName)>;

struct RunMessage {
  const char* text;
  const char* caption;
  MessageIcon icon;
};

// Shows the run's last message, the failure's or the success's, and tells how the run ended.
RunEnd EndRun(MessageSink& sink, bool succeeded, const RunMessage& failure, const RunMessage& success);

// Shows a refused input with the error icon.
RunEnd Refuse(MessageSink& sink, const char* text, const char* caption);

// Calls work(full path, file name) for each file in order and stops at the first that returns
// false. True when every file succeeded (or there was none).
bool ForEachFile(const std::vector<std::string>& files, const FileProgress& progress,
                 const std::function<bool(const std::string& path, const std::string& name)>& work);

}  // namespace qz
