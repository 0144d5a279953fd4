// Self-registration: the registry scripts run through the platform's registrar, and the type
// library registered with the system.
#pragma once

#include <windows.h>

namespace qz::shell {

HRESULT RegisterServer(HMODULE module);
HRESULT UnregisterServer(HMODULE module);

}  // namespace qz::shell
