// The naming rules of encrypted folders and files and of the decryption dialog's certificate
// items. Paths are written with '|' for the platform's separator. The Windows rows use GBK
// characters whose trail byte is '\\' (乗, 81 5C) or 'z' (亃, 81 7A).
#include <gtest/gtest.h>

#include <algorithm>

#include "naming.h"
#include "narrow_text.h"

namespace qz {
namespace {

std::string P(std::string path) {
  std::replace(path.begin(), path.end(), '|', kPathSeparator);
  return path;
}

struct Row {
  std::string input;
  std::string expected;
};

TEST(NamingTest, PlainNameIsCutTwoBytesBeforeTheLastZ) {
  const Row rows[] = {
      {"report.doc.qz", "report.doc"},
      {"quiz.doc.qz", "quiz.doc"},  // the last z is the suffix's
      {"a.qz.bak", "a"},
      {"readme.doc", ""},  // a stray plain file
      {"az.txt", ""},      // z among the first two bytes
      {"", ""},
      {P("D:|docs.qz"), P("D:|docs")},
      {P("D:|a.qz|zone"), P("D:|a.q")},
#ifdef _WIN32
      {"ab\x81\x7A.doc", ""},
      {"\x81\x7A\x81\x7A.qz", "\x81\x7A\x81\x7A"},
#else
      {"报告.doc.qz", "报告.doc"},
#endif
  };
  for (const Row& row : rows) EXPECT_EQ(PlainNameOf(row.input), row.expected) << row.input;
}

TEST(NamingTest, FileNameIsThePartAfterTheLastSeparator) {
  const Row rows[] = {
      {P("D:|docs|a.txt"), "a.txt"},
      {P("D:||a.txt"), "a.txt"},  // a drive root joined with a separator
      {"a.txt", "a.txt"},
      {P("D:|docs|"), ""},
#ifdef _WIN32
      {"C:\\dir\x81\x5C.txt", "dir\x81\x5C.txt"},
      {"C:\\\x81\x5C\\\x81\x5C.txt", "\x81\x5C.txt"},
#else
      {"/数据/报告.txt", "报告.txt"},
#endif
  };
  for (const Row& row : rows) EXPECT_EQ(FileNameOf(row.input), row.expected) << row.input;
}

TEST(NamingTest, EncryptedFormNeedsQzAfterTheFirstByte) {
  const struct {
    std::string path;
    bool encrypted;
  } rows[] = {
      {P("D:|docs.qz|a.doc.qz"), true},
      {P("D:|docs.qz|readme.doc"), true},  // the folder's own path counts
      {P("D:|docs|a.doc.qz"), true},
      {P("D:|docs|a.doc"), false},
      {P("D:|docsqz|a"), false},
      {".qz", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsInEncryptedForm(row.path), row.encrypted) << row.path;
}

TEST(NamingTest, EncryptedNamesAppendTheSuffix) {
  EXPECT_EQ(EncryptedFolderOf(P("D:|docs")), P("D:|docs.qz"));
  EXPECT_EQ(EncryptedFilePath(P("D:|docs.qz"), "report.doc"), P("D:|docs.qz|report.doc.qz"));
}

TEST(NamingTest, SerialOfItemLiesInTheLastParentheses) {
  const Row rows[] = {
      {"Alice 1024(0A1B)", "0A1B"},
      {"Finance Office(East)(0A1B)", "0A1B"},  // a name with parentheses keeps its serial
      {"0A1B)", "0A1B"},  // no "(": from the start
      {"Alice 1024(0A1B", ""},
      {"Alice 1024", ""},
      {")Alice(0A1B)", "0A1B"},  // a ")" before the "(" does not count
  };
  for (const Row& row : rows) EXPECT_EQ(SerialOfItem(row.input), row.expected) << row.input;
  EXPECT_EQ(SerialOfItem(CertificateItemText("Alice 1024", "0a1b")), "0a1b");
}

}  // namespace
}  // namespace qz
