#include "encryption_run.h"

#include "file_cipher.h"
#include "folder_listing.h"
#include "naming.h"
#include "run_messages.h"

namespace qz {
namespace {

// The checks before anything is written; null when the run may go on.
const char* RefusalOf(const EncryptionInputs& inputs, const std::string& recipientList) {
  if (inputs.sourceFolder.empty()) return message::kNoSourceFolder;
  if (inputs.destinationFolder.empty()) return message::kNoEncryptDestination;
  // Files for nobody could never be opened again.
  if (recipientList.empty()) return message::kNoEncryptCertificate;
  return nullptr;
}

RunEnd EncryptFiles(const EncryptionInputs& inputs, const std::string& recipientList, MessageSink& sink,
                    RunControl& control) {
  const std::vector<std::string> files = WalkSourceFolder(inputs.sourceFolder);
  const FileTask task{
      [&](const std::string& name) { return EncryptedFilePath(inputs.destinationFolder, name); },
      [&](CFileCipher& cipher, const std::string& path, PendingFile& output, const ChunkHook& onChunk) {
        return cipher.EncryptOneFile(path, output, recipientList, onChunk);
      },
      [](CFileCipher& cipher, PendingFile& output) { return cipher.CommitEncrypted(output); }};
  const unsigned workers =
      WorkersFor(control, files.size(), MaybeSameFolder(inputs.sourceFolder, inputs.destinationFolder));
  return EndRun(sink, RunFiles(files, workers, control, task),
                {caption::kEngineFailure, MessageIcon::Error,
                 {message::kEncrypted, caption::kInformation, MessageIcon::Exclamation},
                 message::kEncryptCancelled});
}

}  // namespace

std::string BuildRecipientList(const std::string& defaultSerial, const std::vector<CertificateRow>& rows) {
  std::string list = defaultSerial.empty() ? std::string() : defaultSerial + "&";
  for (const CertificateRow& row : rows)
    if (row.ticked) list += row.serialText + "&";
  return list;
}

std::vector<std::string> WalkSourceFolder(const std::string& sourceFolder) { return ListFiles(sourceFolder); }

RunEnd OnEncrypt(const EncryptionInputs& inputs, const SettingsFile& settings, MessageSink& sink,
                 RunControl& control) {
  try {
    const std::string recipientList =
        BuildRecipientList(settings.ReadText(key::kCertSerial), inputs.otherCertificates);
    if (const char* refusal = RefusalOf(inputs, recipientList)) return Refuse(sink, refusal, caption::kRefused);
    if (!PathExists(inputs.destinationFolder) && !CreateFolder(inputs.destinationFolder))
      return Refuse(sink, message::kCreateFolderFailed, caption::kRefused);
    // The name is checked only once the folder exists: a refusal here leaves the folder made.
    if (inputs.certificateName.empty()) return Refuse(sink, message::kNoEncryptCertificate, caption::kRefused);
    return EncryptFiles(inputs, recipientList, sink, control);
  } catch (...) {
    // Only memory can run out here; the dialog must not see an exception.
    return RunEnd::Failed;
  }
}

RunEnd OnEncrypt(const EncryptionInputs& inputs, const SettingsFile& settings, MessageSink& sink) {
  RunControl control;
  return OnEncrypt(inputs, settings, sink, control);
}

}  // namespace qz
