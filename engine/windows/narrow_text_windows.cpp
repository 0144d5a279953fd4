// Code page 936: a lead byte and its trail byte make one character.
#include <windows.h>

#include "narrow_text.h"

namespace qz {

const char kPathSeparator = '\\';

std::size_t CharLengthAt(const std::string& text, std::size_t pos) {
  // A lead byte at the very end has no trail byte: it counts alone.
  if (pos + 1 < text.size() && IsDBCSLeadByteEx(936, BYTE(text[pos]))) return 2;
  return 1;
}

}  // namespace qz
