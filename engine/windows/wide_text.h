// Narrow text of a code page (CP_ACP: the ANSI one) to UTF-16 and back, on Windows. A character
// the code page cannot hold comes out as '?', which no file name can contain, never as a
// look-alike letter that could name another file.
#pragma once

#include <string>

namespace qz {

std::wstring WideFromNarrow(const std::string& text, unsigned codePage);
std::string NarrowFromWide(const std::wstring& text, unsigned codePage);

}  // namespace qz
