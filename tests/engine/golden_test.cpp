// Files written by each platform's build (tests/data/golden, made by make-golden.sh) must
// decrypt with every build: the format is shared byte for byte.
#include <gtest/gtest.h>

#include "file_cipher.h"
#include "test_support.h"

namespace qz::test {
namespace {

class GoldenFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallTestCertificates(); }
  ScratchDir dir;
  CFileCipher cipher;
};

TEST_F(GoldenFileTest, FilesOfBothPlatformsDecryptForEachRecipient) {
  struct Case {
    const char* file;
    std::vector<const char*> readers;
  } cases[] = {
      {"linux-alice1024.qz", {kAlice1024}},
      {"linux-bob2048.qz", {kBob2048}},
      {"linux-both.qz", {kBob2048, kAlice1024}},
      {"windows-alice1024.qz", {kAlice1024}},
      {"windows-bob2048.qz", {kBob2048}},
      {"windows-both.qz", {kBob2048, kAlice1024}},
  };
  const auto content = ReadBytes(DataPath("golden/content.txt"));
  ASSERT_FALSE(content.empty());
  for (const auto& c : cases) {
    for (const char* reader : c.readers) {
      SCOPED_TRACE(std::string(c.file) + " as " + reader);
      ASSERT_EQ(cipher.DecryptOneFile(DataPath(std::string("golden/") + c.file), dir.Path("out"), reader), 0)
          << cipher.ErrorText();
      EXPECT_EQ(ReadBytes(dir.Path("out")), content);
    }
  }
}

}  // namespace
}  // namespace qz::test
