#include "win_app.h"

#include "message_boxes.h"

namespace qz::ui {
namespace {
WinApp* g_current = nullptr;
LONG g_moduleLocks = 0;

MessageBoxes& SystemBoxes() {
  static SystemMessageBoxes boxes;
  return boxes;
}
}  // namespace

WinApp::WinApp(HINSTANCE instance) : m_instance(instance), m_messages(&SystemBoxes()) {
  g_current = this;
}

WinApp::~WinApp() {
  if (g_current == this) g_current = nullptr;
}

WinApp* WinApp::Current() { return g_current; }

void WinApp::SetMessages(MessageBoxes* messages) {
  m_messages = messages ? messages : &SystemBoxes();
}

HINSTANCE ResourceInstance() { return g_current ? g_current->Instance() : nullptr; }

void LockModule() { InterlockedIncrement(&g_moduleLocks); }
void UnlockModule() { InterlockedDecrement(&g_moduleLocks); }
long ModuleLockCount() { return InterlockedCompareExchange(&g_moduleLocks, 0, 0); }

}  // namespace qz::ui
