// The character-by-character searches of paths, names and certificate items, in the ANSI code
// page the program runs under. On Chinese Windows (936) the rows use GBK characters whose trail
// byte equals the character searched for: 乗 is 81 5C ('\\'), 亃 is 81 7A ('z'), 乹 is 81 71
// ('q'). A byte-wise search would match inside them. On Western Windows (1252) every byte is a
// character of its own, and a byte that would be a GBK lead byte (é is E9) must not swallow the
// separator after it.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <vector>

#include "narrow_text.h"

namespace qz {
namespace {

constexpr std::size_t npos = std::string::npos;

enum class Kind { FirstChar, LastChar, FirstText, LastSeparator };

struct Row {
  const char* what;
  Kind search;
  std::string text;
  std::string needle;  // one character for the character searches
  std::size_t from;
  std::size_t expected;
};

std::size_t Search(const Row& row) {
  switch (row.search) {
    case Kind::FirstChar: return FindFirstChar(row.text, row.needle[0], row.from);
    case Kind::LastChar: return FindLastChar(row.text, row.needle[0]);
    case Kind::FirstText: return FindFirstText(row.text, row.needle);
    case Kind::LastSeparator: return FindLastSeparator(row.text);
  }
  return npos;
}

const std::vector<Row> kEveryCodePage = {
    {"last z of the suffix", Kind::LastChar, "report.doc.qz", "z", 0, 12},
    {"no z", Kind::LastChar, "report.doc", "z", 0, npos},
    {"first .qz of a path", Kind::FirstText, "docs.qz.old.qz", ".qz", 0, 4},
    {".qz at the start", Kind::FirstText, ".qz", ".qz", 0, 0},
    {"qz without the dot", Kind::FirstText, "docsqz", ".qz", 0, npos},
    {"first (", Kind::FirstChar, "Finance Office(East)(0A1B)", "(", 0, 14},
    {") after the first (", Kind::FirstChar, "Finance Office(East)(0A1B)", ")", 15, 19},
    {"no ) after from", Kind::FirstChar, "a)(b", ")", 3, npos},
    {"from the end", Kind::FirstChar, "a(", "(", 2, npos},
    {"slash counts as separator", Kind::LastSeparator, "a/b", "", 0, 1},
    {"no separator", Kind::LastSeparator, "name.qz", "", 0, npos},
};

#ifdef _WIN32
const std::vector<Row> kCodePage936 = {
    {"backslash trail byte is not a separator", Kind::LastSeparator, "C:\\dir\\\x81\x5C", "", 0, 6},
    {"separator after a backslash trail byte", Kind::LastSeparator, "C:\\\x81\x5C\\x", "", 0, 5},
    {"doubled backslash of a root", Kind::LastSeparator, "D:\\\\a.txt", "", 0, 3},
    {"lead byte at the end counts alone", Kind::LastSeparator, "a\\\x81", "", 0, 1},
    {"z trail byte is not a z", Kind::LastChar, "ab\x81\x7A.doc", "z", 0, npos},
    {"real z after a z trail byte", Kind::LastChar, "\x81\x7A.qz\x81\x7A", "z", 0, 4},
    {"first z skips the trail byte", Kind::FirstChar, "\x81\x7Az", "z", 0, 2},
    {"q trail byte before z is no .qz", Kind::FirstText, "a.\x81qz", ".qz", 0, npos},
    {".qz after a q trail byte", Kind::FirstText, "\x81\x71.qz", ".qz", 0, 2},
    {"( after a double-byte name", Kind::FirstChar, "\x81\x71\x81\x7A(0A1B)", "(", 0, 4},
};

const std::vector<Row> kCodePage1252 = {
    {"separator after a Latin-1 letter", Kind::LastSeparator, "C:\\docs\\Caf\xE9\\a.txt", "", 0, 12},
    {"z after a Latin-1 letter", Kind::LastChar, "na\xEFve\xE9z", "z", 0, 6},
    {".qz after a Latin-1 letter", Kind::FirstText, "Caf\xE9.qz", ".qz", 0, 4},
    {"( after a Latin-1 name", Kind::FirstChar, "Ren\xE9(0A1B)", "(", 0, 4},
    {"last byte above 0x80", Kind::LastSeparator, "a\\\x81", "", 0, 1},
};

// The rows of the code page the program runs under; none for a code page without rows.
std::vector<Row> CodePageRows() {
  switch (GetACP()) {
    case 936: return kCodePage936;
    case 1252: return kCodePage1252;
    default: return {};
  }
}
#else
const std::vector<Row> kUtf8 = {
    {"UTF-8 name before the separator", Kind::LastSeparator, "/home/文件夹/a.txt", "", 0, 15},
    {"UTF-8 name after the last z", Kind::LastChar, "报告.qz中文", "z", 0, 8},
    {".qz after UTF-8", Kind::FirstText, "/数据.qz/x", ".qz", 0, 7},
    {"( after a UTF-8 name", Kind::FirstChar, "张三(0A1B)", "(", 0, 6},
    {"backslash is no separator on Linux", Kind::LastSeparator, "a\\b", "", 0, npos},
};

std::vector<Row> CodePageRows() { return kUtf8; }
#endif

TEST(NarrowTextTest, SearchesGoCharacterByCharacter) {
  for (const Row& row : kEveryCodePage) EXPECT_EQ(Search(row), row.expected) << row.what;
  const std::vector<Row> rows = CodePageRows();
  ASSERT_FALSE(rows.empty()) << "no rows for the code page the test runs under";
  for (const Row& row : rows) EXPECT_EQ(Search(row), row.expected) << row.what;
}

}  // namespace
}  // namespace qz
