#include "decryption_run.h"

#include <algorithm>

#include "cert_store.h"
#include "file_cipher.h"
#include "file_format.h"
#include "file_io.h"
#include "folder_listing.h"
#include "naming.h"
#include "run_messages.h"

namespace qz {
namespace {

// False when the file cannot be opened (its path does not fit, say) or its list is damaged.
bool ReadListOfFile(const std::string& path, std::string& list) {
  unique_file file = OpenFile(path, "rb");
  std::uint64_t size = 0;
  if (!file || !FileSize(file.get(), size)) return false;
  list.clear();
  // An empty file lists nobody.
  return size == 0 || ReadRecipientList(file.get(), size, list);
}

RunEnd DecryptFiles(const DecryptionInputs& inputs, const std::string& serialText, MessageSink& sink,
                    RunControl& control) {
  const FileTask task{
      [&](const std::string& name) { return JoinPath(inputs.destinationFolder, PlainNameOf(name)); },
      [&](CFileCipher& cipher, const std::string& path, PendingFile& output, const ChunkHook& onChunk) {
        return cipher.DecryptOneFile(path, output, serialText, onChunk);
      },
      [](CFileCipher& cipher, PendingFile& output) { return cipher.CommitDecrypted(output); }};
  // The file list is the encrypted folder's.
  const unsigned workers =
      WorkersFor(control, inputs.fileList.size(), MaybeSameFolder(inputs.encryptedFolder, inputs.destinationFolder));
  return EndRun(sink, RunFiles(inputs.fileList, workers, control, task),
                {caption::kDecryptFailure, MessageIcon::Information,
                 {message::kDecrypted, caption::kInformation, MessageIcon::Information},
                 message::kDecryptCancelled});
}

}  // namespace

std::vector<std::string> ListEncryptedFiles(const std::string& folder) {
  std::vector<std::string> files = ListFiles(folder);
  files.erase(std::remove_if(files.begin(), files.end(), [](const std::string& f) { return !IsInEncryptedForm(f); }),
              files.end());
  return files;
}

void AddMatchingCertificates(const std::string& listText, CertificateItemList& certificates) {
  for (const Certificate& cert : ReadStore(Store::My)) {
    const std::string serialText = CertSerialToText(cert);
    ForEachRecipient(listText, [&](std::string_view serial) {
      if (SerialTextsEqual(serial, serialText))
        certificates.Add(CertificateItemText(SubjectSimpleName(cert), std::string(serial)));
    });
  }
  certificates.SelectFirst();
}

std::vector<std::string> LoadDecryptionCertificates(const std::string& encryptedFolder,
                                                    CertificateItemList& certificates, MessageSink& sink) {
  std::vector<std::string> files;
  try {
    files = ListEncryptedFiles(encryptedFolder);
    if (files.empty()) {
      sink.Show(message::kNoEncryptedFiles, caption::kInformation, MessageIcon::Information);
      return files;
    }
    std::string list;
    if (ReadListOfFile(files.front(), list)) {
      AddMatchingCertificates(list, certificates);
      return files;
    }
  } catch (...) {
    // Falls through to the message of an unreadable first file.
  }
  sink.Show(message::kScanException, caption::kInformation, MessageIcon::Information);
  return files;
}

RunEnd OnDecrypt(const DecryptionInputs& inputs, MessageSink& sink, RunControl& control) {
  try {
    if (inputs.encryptedFolder.empty()) return Refuse(sink, message::kNoEncryptedFolder, caption::kRefused);
    if (inputs.destinationFolder.empty()) return Refuse(sink, message::kNoDecryptDestination, caption::kRefused);
    if (!PathExists(inputs.destinationFolder) && !CreateFolder(inputs.destinationFolder))
      return Refuse(sink, message::kCreateFolderFailed, caption::kRefused);
    if (!inputs.selectedItem) return Refuse(sink, message::kNoDecryptCertificate, caption::kInformation);
    return DecryptFiles(inputs, SerialOfItem(*inputs.selectedItem), sink, control);
  } catch (...) {
    // The run ends without a message, and the dialog must not see an exception.
    return RunEnd::Failed;
  }
}

RunEnd OnDecrypt(const DecryptionInputs& inputs, MessageSink& sink) {
  RunControl control;
  return OnDecrypt(inputs, sink, control);
}

}  // namespace qz
