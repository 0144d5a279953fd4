// How the file manager's menu opens the system's dialogs. Each dialog is created modelessly,
// shown, filled and centred, then lives on by itself on the calling thread's message loop: it
// ends through its own buttons, destroys its window and frees itself. Throws when the window
// cannot be made.
#pragma once

#include <string>

namespace qz::dialogs {

void OpenEncryptionDialog(const std::string& sourceFolder, const std::string& destinationFolder);
void OpenDecryptionDialog(const std::string& encryptedFolder, const std::string& destinationFolder);

}  // namespace qz::dialogs
