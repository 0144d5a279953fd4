#include "folder_run.h"

#include "naming.h"

namespace qz {

RunEnd EndRun(MessageSink& sink, bool succeeded, const RunMessage& failure, const RunMessage& success) {
  const RunMessage& shown = succeeded ? success : failure;
  sink.Show(shown.text, shown.caption, shown.icon);
  return succeeded ? RunEnd::Succeeded : RunEnd::Failed;
}

RunEnd Refuse(MessageSink& sink, const char* text, const char* caption) {
  sink.Show(text, caption, MessageIcon::Error);
  return RunEnd::Refused;
}

bool ForEachFile(const std::vector<std::string>& files, const FileProgress& progress,
                 const std::function<bool(const std::string& path, const std::string& name)>& work) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string name = FileNameOf(files[i]);
    if (progress) progress(i + 1, files.size(), name);
    if (!work(files[i], name)) return false;
  }
  return true;
}

}  // namespace qz
