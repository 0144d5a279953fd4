#include "narrow_text.h"

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

}  // namespace qz
