// Helpers for tests that drive real windows on this thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace qz::test {

// Dispatches what is queued, then keeps dispatching until `done` holds or `timeoutMs` passed.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Dispatches what is queued and what arrives within `ms` milliseconds.
void Pump(DWORD ms = 50);

// Runs `step` every 50 ms on this thread, inside whatever modal loop is running then (a file
// dialog, a message box), until it returns true: the way a test answers a modal window.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(std::function<bool()> step);
  ~ModalAnswerer();
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  std::function<bool()> m_step;
  UINT_PTR m_timer;
};

// The first top-level window of this thread that `match` accepts, or null.
HWND FindThreadWindow(const std::function<bool(HWND)>& match);
// The visible dialog-class window of this thread whose title is `title` (narrow), or null.
HWND FindThreadDialog(const std::string& title);
std::string ClassOf(HWND window);
// Presses a dialog's button the way a click does.
void Press(HWND dialog, int buttonId);

}  // namespace qz::test
