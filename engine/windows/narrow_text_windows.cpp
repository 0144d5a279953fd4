// The ANSI code page (936 on Chinese Windows): a lead byte and its trail byte make one character.
#include <windows.h>

#include "narrow_text.h"
#include "wide_text.h"

namespace qz {

const char kPathSeparator = '\\';

std::size_t CharLengthAt(const std::string& text, std::size_t pos) {
  // Paths come from the platform in its ANSI code page (936 on Chinese Windows, where the
  // system's own texts agree with it). A lead byte at the very end has no trail byte: it counts
  // alone.
  if (pos + 1 < text.size() && IsDBCSLeadByte(BYTE(text[pos]))) return 2;
  return 1;
}

std::wstring WideFromNarrow(const std::string& text, unsigned codePage) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// No best-fit mapping. UTF-8 (an ANSI code page Windows 10 offers) holds every character and
// takes neither the flag nor a default character.
std::string NarrowFromWide(const std::wstring& text, unsigned codePage) {
  if (text.empty()) return {};
  const bool utf8 = (codePage == CP_ACP ? GetACP() : codePage) == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* defaultChar = utf8 ? nullptr : "?";
  const int wideLength = static_cast<int>(text.size());
  int length = WideCharToMultiByte(codePage, flags, text.data(), wideLength, nullptr, 0, defaultChar, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), wideLength, narrow.data(), length, defaultChar, nullptr);
  return narrow;
}

}  // namespace qz
