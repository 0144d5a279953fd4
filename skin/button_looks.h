// The bitmap and caption of every skinned button of the system's dialogs, in the order in which
// each dialog sets its buttons up. The dialogs and the preview program both read these tables.
#pragma once

#include <windows.h>

#include <vector>

namespace qz {

struct ButtonLook {
  int id;
  UINT bitmap;
  const char* caption;
};

const std::vector<ButtonLook>& EncryptionDialogButtons();
const std::vector<ButtonLook>& DefaultCertificateDialogButtons();
const std::vector<ButtonLook>& DecryptionDialogButtons();

}  // namespace qz
