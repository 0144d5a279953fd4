// Searches in narrow text that go character by character: the ANSI code page on Windows (936 on
// Chinese Windows), where the trail byte of a double-byte character may equal '\\', 'z' or 'q'
// and must never match; UTF-8 elsewhere, where ASCII bytes never occur inside a multi-byte
// character. Positions are byte offsets; npos when there is no match.
#pragma once

#include <string>

namespace qz {

// Byte length of the character that starts at `pos` (each platform's own file says how).
std::size_t CharLengthAt(const std::string& text, std::size_t pos);

// `from` must be the start of a character (0, or just past a single-byte character found before).
std::size_t FindFirstChar(const std::string& text, char ch, std::size_t from = 0);
std::size_t FindLastChar(const std::string& text, char ch);
std::size_t FindFirstText(const std::string& text, const std::string& needle);

// Last path separator: '\\' on Windows, '/' elsewhere (Windows also accepts '/').
std::size_t FindLastSeparator(const std::string& path);

extern const char kPathSeparator;

}  // namespace qz
