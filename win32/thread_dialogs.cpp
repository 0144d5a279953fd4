#include "thread_dialogs.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "handles.h"

namespace qz::ui::detail {
namespace {

struct ThreadDialogs {
  PendingCreation* pending = nullptr;
  std::vector<HWND> open;
  unique_hook keyboardHook;

  bool Empty() const { return !pending && open.empty(); }
};

// Entries live only while their thread has something in them, so nothing is left behind for
// threads that end or for a library that is unloaded.
struct Table {
  SRWLOCK lock = SRWLOCK_INIT;
  std::map<DWORD, ThreadDialogs> threads;
};

Table& Threads() {
  static Table table;
  return table;
}

void EraseIfEmpty(Table& table, std::map<DWORD, ThreadDialogs>::iterator entry) {
  if (entry->second.Empty()) table.threads.erase(entry);
}

// Key messages, and of the character messages only control characters (Tab, Enter, Esc), which
// read the same whether the host's loop fetched the message as ANSI or as Unicode. Printable
// characters stay with the host's loop, which dispatches them in its own encoding.
bool IsDialogKeyMessage(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      return true;
    case WM_CHAR:
    case WM_SYSCHAR:
      return message.wParam < 0x20;
    default:
      return false;
  }
}

// The open dialog of this thread that holds `target` (the window with the keyboard focus).
HWND OpenDialogHolding(HWND target) {
  Table& table = Threads();
  ExclusiveLock hold(table.lock);
  auto entry = table.threads.find(GetCurrentThreadId());
  if (entry == table.threads.end()) return nullptr;
  for (HWND dialog : entry->second.open)
    if (target == dialog || IsChild(dialog, target)) return dialog;
  return nullptr;
}

// Runs inside the thread's GetMessage and PeekMessage, whoever's message loop calls them. A
// message the dialog manager has handled reaches the loop as WM_NULL, which does nothing.
LRESULT CALLBACK KeyboardHook(int code, WPARAM removal, LPARAM lParam) {
  auto* message = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && removal == PM_REMOVE && IsDialogKeyMessage(*message)) {
    // The lock is not held here: the dialog manager may run a handler that opens or ends dialogs.
    HWND dialog = OpenDialogHolding(message->hwnd);
    if (dialog && IsDialogMessageW(dialog, message)) {
      message->message = WM_NULL;
      message->wParam = 0;
      message->lParam = 0;
    }
  }
  return CallNextHookEx(nullptr, code, removal, lParam);
}

}  // namespace

bool IsPendingWindow(const PendingCreation& pending, const CREATESTRUCTA& window) {
  return pending.dialog && !(window.style & WS_CHILD) && window.hInstance == pending.instance;
}

PendingCreation* ExchangePendingCreation(PendingCreation* pending) {
  Table& table = Threads();
  ExclusiveLock hold(table.lock);
  auto entry = table.threads.try_emplace(GetCurrentThreadId()).first;
  PendingCreation* previous = std::exchange(entry->second.pending, pending);
  EraseIfEmpty(table, entry);
  return previous;
}

PendingCreation* CurrentPendingCreation() {
  Table& table = Threads();
  ExclusiveLock hold(table.lock);
  auto entry = table.threads.find(GetCurrentThreadId());
  return entry == table.threads.end() ? nullptr : entry->second.pending;
}

void AddOpenDialog(HWND dialog) {
  Table& table = Threads();
  ExclusiveLock hold(table.lock);
  ThreadDialogs& thread = table.threads[GetCurrentThreadId()];
  thread.open.push_back(dialog);
  if (!thread.keyboardHook)
    thread.keyboardHook.reset(SetWindowsHookExA(WH_GETMESSAGE, &KeyboardHook, nullptr, GetCurrentThreadId()));
}

void RemoveOpenDialog(HWND dialog) {
  Table& table = Threads();
  ExclusiveLock hold(table.lock);
  auto entry = table.threads.find(GetCurrentThreadId());
  if (entry == table.threads.end()) return;
  std::vector<HWND>& open = entry->second.open;
  open.erase(std::remove(open.begin(), open.end(), dialog), open.end());
  if (open.empty()) entry->second.keyboardHook.reset();
  EraseIfEmpty(table, entry);
}

}  // namespace qz::ui::detail
