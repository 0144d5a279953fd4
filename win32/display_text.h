// Two kinds of narrow text reach the screen, and each has its own way there:
// - Our texts: the system's own captions, messages, button and column texts. They are compiled
//   as code-page-936 bytes, whatever the ANSI code page of the Windows they run on, so they are
//   shown through the wide-character functions: SetOurText(window, text), or OurText(text) for
//   any other ...W function (MessageBoxW, DrawTextW, TextOutW, a tooltip's wide text).
// - ANSI texts: what the platform or the user gives (paths, names typed or chosen, settings
//   values, certificate names). They are in the ANSI code page and stay on the ANSI functions
//   (SetWindowTextA, DataExchange::Text), or go through AnsiText() where only a wide function
//   will do.
// A text that mixes both kinds has no right code page: show the parts apart.
#pragma once

#include <windows.h>

#include <string>

namespace qz::ui {

inline constexpr UINT kOurCodePage = 936;

std::wstring OurText(const std::string& text);
std::string OurTextFromWide(const std::wstring& text);
std::wstring AnsiText(const std::string& text);
// Characters the ANSI code page cannot hold come out as '?', which no file name can contain.
std::string AnsiTextFromWide(const std::wstring& text);

// A window's caption or a control's text from one of our texts.
bool SetOurText(HWND window, const std::string& text);
// A window's text as the system holds it (GetWindowTextW), of any length.
std::wstring WideWindowText(HWND window);

}  // namespace qz::ui
