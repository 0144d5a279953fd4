// The folder decryption run of the decryption dialog: the listing of an encrypted folder, the
// scan that offers the user's certificates among the first file's recipients, and the run
// behind 解密 that decrypts every listed file with the chosen certificate. Free of windows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "certificate_items.h"
#include "folder_run.h"
#include "message_sink.h"

namespace qz {

// The files directly in the folder whose full path holds ".qz" after its first byte, in
// listing order.
std::vector<std::string> ListEncryptedFiles(const std::string& folder);

// Adds "name(serial)" for every certificate of "MY" and every serial of the list text that
// matches it (without regard to case; the serial as the list writes it), then selects the
// first item.
void AddMatchingCertificates(const std::string& listText, CertificateItemList& certificates);

// Lists the folder and offers the certificates that can open its first file. Gives the file
// list for the next run.
std::vector<std::string> LoadDecryptionCertificates(const std::string& encryptedFolder,
                                                    CertificateItemList& certificates, MessageSink& sink);

struct DecryptionInputs {
  std::string encryptedFolder;
  std::string destinationFolder;
  std::vector<std::string> fileList;  // of the last scan: the run does not list again
  std::optional<std::string> selectedItem;
};

// Stops at the first file that fails, or on the control's request.
RunEnd OnDecrypt(const DecryptionInputs& inputs, MessageSink& sink, RunControl& control);
RunEnd OnDecrypt(const DecryptionInputs& inputs, MessageSink& sink);

}  // namespace qz
