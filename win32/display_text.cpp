#include "display_text.h"

#include "wide_text.h"

namespace qz::ui {

std::wstring OurText(const std::string& text) { return WideFromNarrow(text, kOurCodePage); }
std::string OurTextFromWide(const std::wstring& text) { return NarrowFromWide(text, kOurCodePage); }
std::wstring AnsiText(const std::string& text) { return WideFromNarrow(text, CP_ACP); }
std::string AnsiTextFromWide(const std::wstring& text) { return NarrowFromWide(text, CP_ACP); }

bool SetOurText(HWND window, const std::string& text) { return SetWindowTextW(window, OurText(text).c_str()) != 0; }

std::wstring WideWindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace qz::ui
