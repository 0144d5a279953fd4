// Every message box of the dialogs and the folder runs goes through this interface: the dialogs
// show it with MessageBoxW (text and caption are our texts, display_text.h), the command-line
// tool prints a line, tests record it.
#pragma once

#include <string>

namespace qz {

// Values of the message box icon flags, so that a Windows sink passes them on unchanged.
enum class MessageIcon : unsigned {
  None = 0,
  Error = 0x10,        // MB_ICONERROR
  Exclamation = 0x30,  // MB_ICONEXCLAMATION
  Information = 0x40,  // MB_ICONINFORMATION
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

}  // namespace qz
