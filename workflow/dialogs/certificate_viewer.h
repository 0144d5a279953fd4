// Shows a certificate in the system's viewer: its DER bytes go into a temporary file that the
// viewer is started on, and the file is deleted again once the viewer has been started.
#pragma once

#include <functional>
#include <string>

#include "certificate.h"

namespace qz::dialogs {

// The file goes into the Windows directory; where a user without elevation cannot create it
// there, into the user's temporary folder. False when it could be written nowhere.
bool ViewCertificate(const Certificate& cert, const char* fileName);

// How the viewer's command line is started: WinExec by default. Tests put a recorder here,
// since Wine's viewer entry point is a stub; an empty function restores WinExec.
using ViewerLauncher = std::function<void(const std::string& commandLine)>;
void SetViewerLauncher(ViewerLauncher launcher);

}  // namespace qz::dialogs
