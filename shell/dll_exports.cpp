// The library's entry point, its application object and the four functions it exports.
#include <windows.h>

#include "com_entry.h"
#include "module.h"
#include "registration.h"
#include "win_app.h"

namespace qz::shell {
namespace {

// The window layer's application object: holds the library's instance, from which the
// dialogs are made.
class CZaDizuvOzarApp final : public ui::WinApp {};

CZaDizuvOzarApp g_app;

}  // namespace
}  // namespace qz::shell

using qz::shell::ComEntry;
using qz::shell::CZaDizuvOzarModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    qz::shell::g_app.SetInstance(instance);
    CZaDizuvOzarModule::Instance();  // made at load, not on first use from some other thread
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() {
  return CZaDizuvOzarModule::Instance().CanUnload() ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return ComEntry([&] { return CZaDizuvOzarModule::Instance().GetClassObject(rclsid, riid, ppv); });
}

STDAPI DllRegisterServer() {
  return ComEntry([] { return qz::shell::RegisterServer(qz::shell::g_app.Instance()); });
}

STDAPI DllUnregisterServer() {
  return ComEntry([] { return qz::shell::UnregisterServer(qz::shell::g_app.Instance()); });
}
