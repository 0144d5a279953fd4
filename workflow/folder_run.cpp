#include "folder_run.h"

#include "naming.h"
#include "run_messages.h"

namespace qz {

RunEnd EndRun(MessageSink& sink, const FilesResult& result, const RunMessage& failure, const RunMessage& success,
              const char* cancelledFormat) {
  switch (result.outcome) {
    case FilesOutcome::AllDone:
      sink.Show(success.text, success.caption, success.icon);
      return RunEnd::Succeeded;
    case FilesOutcome::Failed:
      sink.Show(failure.text, failure.caption, failure.icon);
      return RunEnd::Failed;
    case FilesOutcome::Cancelled:
      break;
  }
  std::string text = cancelledFormat;
  text.replace(text.find("%s"), 2, std::to_string(result.filesDone));
  sink.Show(text, caption::kInformation, MessageIcon::Information);
  return RunEnd::Cancelled;
}

RunEnd Refuse(MessageSink& sink, const char* text, const char* caption) {
  sink.Show(text, caption, MessageIcon::Error);
  return RunEnd::Refused;
}

FilesResult ForEachFile(const std::vector<std::string>& files, RunControl& control,
                        const std::function<bool(const std::string& path, const std::string& name)>& work) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (control.CancelRequested()) return {FilesOutcome::Cancelled, i};
    const std::string name = FileNameOf(files[i]);
    if (control.progress) control.progress({i + 1, files.size(), name, 0, 0});
    if (!work(files[i], name)) return {FilesOutcome::Failed, i};
  }
  return {FilesOutcome::AllDone, files.size()};
}

}  // namespace qz
