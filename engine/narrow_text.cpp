#include "narrow_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qz {
namespace {

// Calls f(pos) at the start of every character until it returns true; gives that position.
template <typename F>
std::size_t ScanChars(const std::string& text, F&& f, std::size_t from = 0) {
  for (std::size_t pos = from; pos < text.size(); pos += CharLengthAt(text, pos))
    if (f(pos)) return pos;
  return std::string::npos;
}

}  // namespace

std::size_t CharLengthAt(const std::string& text, std::size_t pos) {
#ifdef _WIN32
  // Paths come from the platform in its ANSI code page (936 on Chinese Windows, where the
  // system's own texts agree with it). A lead byte at the very end has no trail byte: it counts
  // alone.
  if (pos + 1 < text.size() && IsDBCSLeadByte(BYTE(text[pos]))) return 2;
#else
  (void)text;
  (void)pos;
#endif
  return 1;
}

std::size_t FindFirstChar(const std::string& text, char ch, std::size_t from) {
  return ScanChars(text, [&](std::size_t pos) { return text[pos] == ch; }, from);
}

std::size_t FindLastChar(const std::string& text, char ch) {
  std::size_t last = std::string::npos;
  ScanChars(text, [&](std::size_t pos) {
    if (text[pos] == ch) last = pos;
    return false;
  });
  return last;
}

std::size_t FindFirstText(const std::string& text, const std::string& needle) {
  if (needle.empty()) return 0;
  return ScanChars(text, [&](std::size_t pos) { return text.compare(pos, needle.size(), needle) == 0; });
}

std::size_t FindLastSeparator(const std::string& path) {
  std::size_t last = std::string::npos;
  ScanChars(path, [&](std::size_t pos) {
    if (path[pos] == kPathSeparator || path[pos] == '/') last = pos;
    return false;
  });
  return last;
}

#ifdef _WIN32
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
#endif

}  // namespace qz
