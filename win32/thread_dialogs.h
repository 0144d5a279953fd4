// What the dialog layer keeps for each thread that has dialogs: the dialog whose window is being
// created, and the open dialogs, whose keyboard messages a message hook of the thread hands to
// IsDialogMessage. A dialog living in another program's thread never sees that program's message
// loop call IsDialogMessage for it, so without the hook Tab, Enter and Esc would do nothing.
// Kept in a table by thread id rather than in thread-local variables, which a library that is
// loaded and unloaded again cannot rely on.
#pragma once

#include <windows.h>

namespace qz::ui {

class Dialog;

namespace detail {

// The window a Create call of this thread waits for.
struct PendingCreation {
  Dialog* dialog;      // null once the window is bound
  HINSTANCE instance;  // the module whose template is being created
};

// Whether the window that the creation hook sees being created is the one `pending` waits for:
// a top-level window made from the module's template. Other windows that appear on the thread
// meanwhile (the input method's, those of other hooks) are not.
bool IsPendingWindow(const PendingCreation& pending, const CREATESTRUCTA& window);

// Makes `pending` the calling thread's creation and returns the one it replaces; creations nest
// when a dialog's initialisation creates another dialog.
PendingCreation* ExchangePendingCreation(PendingCreation* pending);
PendingCreation* CurrentPendingCreation();

// Open dialogs of the calling thread. The message hook is installed with the first and removed
// after the last.
void AddOpenDialog(HWND dialog);
void RemoveOpenDialog(HWND dialog);

}  // namespace detail
}  // namespace qz::ui
