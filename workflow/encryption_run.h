// The folder encryption run behind the 加密 buttons of the encryption dialog: checks the inputs,
// makes the destination folder, builds the recipient list and encrypts every file directly in
// the source folder into it. Free of windows: the dialog passes what it holds and shows the
// messages through the sink.
#pragma once

#include <string>
#include <vector>

#include "message_sink.h"
#include "folder_run.h"
#include "settings.h"

namespace qz {

// A row of the list of other people's certificates: its check box and its serial column.
struct CertificateRow {
  bool ticked = false;
  std::string serialText;
};

struct EncryptionInputs {
  std::string sourceFolder;
  std::string destinationFolder;
  std::string certificateName;  // the default certificate's, only tested for being empty
  std::vector<CertificateRow> otherCertificates;
};

// The default serial first when there is one, then the ticked serials in row order, each
// followed by "&". A serial both default and ticked stands twice.
std::string BuildRecipientList(const std::string& defaultSerial, const std::vector<CertificateRow>& rows);

// The full paths of the files directly in the source folder, in listing order.
std::vector<std::string> WalkSourceFolder(const std::string& sourceFolder);

// Reads CERTSerial from the settings once. Stops at the first file that fails, or on the
// control's request.
RunEnd OnEncrypt(const EncryptionInputs& inputs, const SettingsFile& settings, MessageSink& sink,
                 RunControl& control);
RunEnd OnEncrypt(const EncryptionInputs& inputs, const SettingsFile& settings, MessageSink& sink);

}  // namespace qz
