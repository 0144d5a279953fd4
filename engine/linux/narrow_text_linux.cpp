// UTF-8: every ASCII byte is a character of its own, and no byte of a multi-byte character is
// ASCII, so byte-wise searches for ASCII characters are character-wise.
#include "narrow_text.h"

namespace qz {

const char kPathSeparator = '/';

std::size_t CharLengthAt(const std::string&, std::size_t) { return 1; }

}  // namespace qz
