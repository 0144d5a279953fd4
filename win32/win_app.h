// The application object in place of MFC's CWinApp: holds the module whose resources the
// dialogs are made from (the DLL sets it in DllMain, a program from its own module) and the
// message boxes that the dialogs show.
#pragma once

#include <windows.h>

#include "unique_handle.h"

namespace qz::ui {

class MessageBoxes;

class WinApp {
 public:
  // Becomes the current application object of the module for its lifetime.
  explicit WinApp(HINSTANCE instance = nullptr);
  virtual ~WinApp();
  WinApp(const WinApp&) = delete;
  WinApp& operator=(const WinApp&) = delete;

  static WinApp* Current();

  HINSTANCE Instance() const { return m_instance; }
  void SetInstance(HINSTANCE instance) { m_instance = instance; }

  // The real message boxes unless a test has put others in their place (null restores them).
  MessageBoxes& Messages() const { return *m_messages; }
  void SetMessages(MessageBoxes* messages);

 private:
  HINSTANCE m_instance;
  MessageBoxes* m_messages;
};

// The module instance of the current application object; null without one.
HINSTANCE ResourceInstance();

// What of the framework keeps the module loaded: live dialog windows and running runs each
// hold one lock from their start to their end. A library may unload only at a count of 0.
void LockModule();
void UnlockModule();
long ModuleLockCount();

// One lock of the module, given back when its owner goes (or hands it on by moving).
inline void ReleaseModuleLock(bool) { UnlockModule(); }
using unique_module_lock = unique_handle<bool, ReleaseModuleLock, false>;
inline unique_module_lock AcquireModuleLock() {
  LockModule();
  return unique_module_lock(true);
}

}  // namespace qz::ui
