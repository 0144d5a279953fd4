#include "message_boxes.h"

#include "display_text.h"
#include "win_app.h"

namespace qz::ui {

int SystemMessageBoxes::Show(HWND owner, const std::string& text, const std::string& caption,
                             MessageIcon icon) {
  return MessageBoxW(owner, OurText(text).c_str(), OurText(caption).c_str(), MB_OK | static_cast<UINT>(icon));
}

int RecordingMessageBoxes::Show(HWND owner, const std::string& text, const std::string& caption,
                                MessageIcon icon) {
  m_boxes.push_back({owner, text, caption, icon});
  return m_answer;
}

void OwnedMessageSink::Show(const std::string& text, const std::string& caption,
                            MessageIcon icon) {
  if (WinApp* app = WinApp::Current()) app->Messages().Show(m_owner, text, caption, icon);
}

}  // namespace qz::ui
