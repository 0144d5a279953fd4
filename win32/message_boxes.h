// The one way the dialogs show a message box: text, caption and icon in, the pressed button
// out. Text and caption are our texts (display_text.h). The system implementation shows a real box owned by the dialog; tests put a recording
// one in its place (WinApp::SetMessages) to read every box and answer it without a person.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "message_sink.h"

namespace qz::ui {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Returns the identifier of the button that closed the box (IDOK for the boxes shown here).
  virtual int Show(HWND owner, const std::string& text, const std::string& caption,
                   MessageIcon icon) = 0;
};

class SystemMessageBoxes final : public MessageBoxes {
 public:
  int Show(HWND owner, const std::string& text, const std::string& caption,
           MessageIcon icon) override;
};

class RecordingMessageBoxes final : public MessageBoxes {
 public:
  struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    MessageIcon icon;
  };

  explicit RecordingMessageBoxes(int answer = IDOK) : m_answer(answer) {}
  int Show(HWND owner, const std::string& text, const std::string& caption,
           MessageIcon icon) override;

  const std::vector<Box>& Boxes() const { return m_boxes; }

 private:
  int m_answer;
  std::vector<Box> m_boxes;
};

// Hands the messages of a folder run to the boxes of the current application object, owned by
// the dialog that started the run.
class OwnedMessageSink final : public MessageSink {
 public:
  explicit OwnedMessageSink(HWND owner) : m_owner(owner) {}
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;

 private:
  HWND m_owner;
};

}  // namespace qz::ui
