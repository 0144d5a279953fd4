// The encryptor and decryptor end to end, against the real stores and cryptography.
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <cstring>
#include <numeric>

#include "cert_store.h"
#include "file_cipher.h"
#include "file_io.h"
#include "narrow_text.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace qz::test {
namespace {

constexpr std::size_t kBlock1024 = 140, kBlock2048 = 268;

std::size_t HeaderSize(const std::string& list, std::initializer_list<std::size_t> blocks) {
  return std::accumulate(blocks.begin(), blocks.end(), 4 + list.size(),
                         [](std::size_t sum, std::size_t block) { return sum + 4 + block; });
}

std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class FileCipherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallTestCertificates(); }

  // Writes `content` as plain.bin and encrypts it into plain.bin.qz.
  int EncryptContent(const std::vector<std::uint8_t>& content, const std::string& list) {
    WriteBytes(dir.Path("plain.bin"), content);
    return cipher.EncryptOneFile(dir.Path("plain.bin"), dir.Path("plain.bin.qz"), list);
  }
  int DecryptAs(const std::string& serial, const std::string& encrypted = "plain.bin.qz") {
    return cipher.DecryptOneFile(dir.Path(encrypted), dir.Path("out.bin"), serial);
  }

  ScratchDir dir;
  CFileCipher cipher;
};

TEST_F(FileCipherTest, RoundTripKeepsContentAndCiphertextLengthForEverySize) {
  const std::string list = std::string(kAlice1024) + "&" + kBob2048 + "&";
  for (std::size_t size : {0, 7, 8, 1000, 1007, 1008, 2016, 64 * 1024, 3 * 64 * 1024, (1 << 20) + 13}) {
    SCOPED_TRACE(size);
    const auto content = PatternBytes(size);
    ASSERT_EQ(EncryptContent(content, list), 0) << cipher.ErrorText();
    const auto encrypted = ReadBytes(dir.Path("plain.bin.qz"));
    EXPECT_EQ(encrypted.size() - HeaderSize(list, {kBlock1024, kBlock2048}), 8 * (size / 8 + 1));
    for (const char* serial : {kAlice1024, kBob2048}) {
      ASSERT_EQ(DecryptAs(serial), 0) << serial << ": " << cipher.ErrorText();
      EXPECT_EQ(ReadBytes(dir.Path("out.bin")), content) << serial;
    }
  }
}

TEST_F(FileCipherTest, RecipientListsAsCallersBuildThem) {
  struct Case {
    const char* list;
    std::initializer_list<std::size_t> blocks;
    const char* reader;
  } cases[] = {
      {"0080AB&0A1B&", {kBlock2048, kBlock1024}, "0A1B"},    // skips 268, reads 140
      {"0080AB&0A1B&", {kBlock2048, kBlock1024}, "0080AB"},  // reads 268, skips 140
      {"0080AB&0080AB&", {kBlock2048, kBlock2048}, "0080AB"},  // the same serial twice: two blocks
      {"0a1b&", {kBlock1024}, "0A1B"},                       // list in lower case
      {"0A1B&", {kBlock1024}, "0a1b"},                       // wanted serial in lower case
      {"3C2B1A&0A1B&", {kBlock2048, kBlock1024}, "0A1B"},    // an address-book recipient first
      {"0A1B&trailing", {kBlock1024}, "0A1B"},               // text after the last "&" names nobody
  };
  const auto content = PatternBytes(1500);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.list);
    ASSERT_EQ(EncryptContent(content, c.list), 0) << cipher.ErrorText();
    const auto encrypted = ReadBytes(dir.Path("plain.bin.qz"));
    EXPECT_EQ(encrypted.size(), HeaderSize(c.list, c.blocks) + 8 * (content.size() / 8 + 1));
    // The list is stored as the caller gave it, behind its length.
    EXPECT_EQ(std::string(encrypted.begin() + 4, encrypted.begin() + 4 + std::strlen(c.list)), c.list);
    ASSERT_EQ(DecryptAs(c.reader), 0) << cipher.ErrorText();
    EXPECT_EQ(ReadBytes(dir.Path("out.bin")), content);
  }
}

TEST_F(FileCipherTest, KeyBlocksAreSimpleBlobsForTripleDesUnderRsaKeyExchange) {
  ASSERT_EQ(EncryptContent(PatternBytes(10), "0A1B&"), 0) << cipher.ErrorText();
  const auto encrypted = ReadBytes(dir.Path("plain.bin.qz"));
  // L = 5, "0A1B&", K1 = 140, blob; the ciphertext starts at 4 + 5 + 4 + 140 = 153.
  const std::vector<std::uint8_t> expected = {5, 0, 0, 0, '0', 'A', '1', 'B', '&', 140, 0, 0, 0,
                                              0x01, 0x02, 0, 0, 0x03, 0x66, 0, 0, 0x00, 0xA4, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(encrypted.begin(), encrypted.begin() + expected.size()), expected);
  EXPECT_EQ(encrypted.size(), 153u + 16u);
}

TEST_F(FileCipherTest, EveryEncryptionHasItsOwnSessionKey) {
  const auto content = PatternBytes(64);
  ASSERT_EQ(EncryptContent(content, "0A1B&"), 0);
  const auto first = ReadBytes(dir.Path("plain.bin.qz"));
  ASSERT_EQ(EncryptContent(content, "0A1B&"), 0);  // within the same millisecond as a rule
  const auto second = ReadBytes(dir.Path("plain.bin.qz"));
  ASSERT_EQ(first.size(), second.size());
  const std::size_t ciphertext = first.size() - 72;
  EXPECT_NE(std::vector<std::uint8_t>(first.begin() + ciphertext, first.end()),
            std::vector<std::uint8_t>(second.begin() + ciphertext, second.end()));

  const std::string a = cipher.MakeRandomText(), b = cipher.MakeRandomText();
  EXPECT_NE(a, b);
  EXPECT_GE(a.size(), 24u);
  EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](char ch) { return std::isalpha(static_cast<unsigned char>(ch)); }));
}

struct FailureCase {
  const char* name;
  int code;
  const char* text;
};

TEST_F(FileCipherTest, EncryptionFailuresReportTheirCodeAndText) {
  WriteBytes(dir.Path("plain.bin"), PatternBytes(100));
  const std::string missingFolder = dir.Path("no-such-folder") + "/x.qz";
  struct Case : FailureCase {
    std::string source, target, list;
  } cases[] = {
      {{"missing source", 2001, text::kOpenSource}, dir.Path("missing.bin"), dir.Path("x.qz"), "0A1B&"},
      {{"target folder missing", 2002, text::kCreateTarget}, dir.Path("plain.bin"), missingFolder, "0A1B&"},
      {{"target is a folder", 2002, text::kCreateTarget}, dir.Path("plain.bin"), dir.Path("folder.qz"), "0A1B&"},
      {{"unknown serial", 2009, text::kRecipientNotFound}, dir.Path("plain.bin"), dir.Path("x.qz"), "0A1B&FFFF&"},
      {{"empty serial", 2009, text::kRecipientNotFound}, dir.Path("plain.bin"), dir.Path("x.qz"), "&"},
      // Never a file with fewer key blocks than listed serials.
      {{"key that cannot wrap", 2010, text::kExportKey}, dir.Path("plain.bin"), dir.Path("x.qz"), std::string(kAlice1024) + "&" + kDaveEc + "&"},
#ifdef _WIN32
      {{"source is a folder", 2001, text::kOpenSource}, dir.path(), dir.Path("x.qz"), "0A1B&"},
#else
      {{"source is a folder", 2007, text::kReadSource}, dir.path(), dir.Path("x.qz"), "0A1B&"},
#endif
#ifndef _WIN32
      {{"full disk", 2013, text::kCiphertextWrite}, dir.Path("plain.bin"), "/dev/full", "0A1B&"},
#endif
  };
  fs::create_directory(dir.Path("folder.qz"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(cipher.EncryptOneFile(c.source, c.target, c.list), c.code);
    EXPECT_STREQ(cipher.ErrorText(), c.text);
  }
  // Nothing was written: no target, no temporary file.
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"folder.qz", "plain.bin"}));
}

TEST_F(FileCipherTest, DecryptionFailuresReportTheirCodeAndText) {
  ASSERT_NO_FATAL_FAILURE(InstallCertificateWithWrongKey());
  ASSERT_EQ(EncryptContent(PatternBytes(8), "0A1B&00F00D&3C2B1A&"), 0) << cipher.ErrorText();
  // Flipping a bit of the first ciphertext block flips it in the padding block: 08 becomes 09.
  auto badPadding = ReadBytes(dir.Path("plain.bin.qz"));
  badPadding[badPadding.size() - 9] ^= 0x01;
  WriteBytes(dir.Path("bad-padding.qz"), badPadding);

  struct Case : FailureCase {
    std::string encrypted, serial;
  } cases[] = {
      {{"missing file", 2017, text::kOpenEncrypted}, "missing.qz", kAlice1024},
      {{"not a recipient", 2028, text::kNotARecipient}, "plain.bin.qz", kBob2048},
      {{"empty serial", 2028, text::kNotARecipient}, "plain.bin.qz", ""},
      {{"only in ADDRESSBOOK", 2019, text::kCertificateMissing}, "plain.bin.qz", kCarol2048},
      {{"wrong private key", 2020, text::kAcquirePrivateKey}, "plain.bin.qz", kMallory},
      {{"bad padding", 2025, text::kDecryptChunk}, "bad-padding.qz", kAlice1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecryptAs(c.serial, c.encrypted), c.code);
    EXPECT_STREQ(cipher.ErrorText(), c.text);
    EXPECT_FALSE(Exists(dir.Path("out.bin")));
  }
  fs::create_directory(dir.Path("out.bin"));
  EXPECT_EQ(DecryptAs(kAlice1024), 2023) << "a folder in the plain file's place";
  EXPECT_STREQ(cipher.ErrorText(), text::kCreatePlain);
}

TEST_F(FileCipherTest, DeletedCertificateFailsWith2019) {
  ASSERT_EQ(EncryptContent(PatternBytes(8), "0A1B&"), 0);
  ASSERT_TRUE(RemoveFromStore(Store::My, kAlice1024));
  EXPECT_EQ(DecryptAs(kAlice1024), 2019);
  EXPECT_STREQ(cipher.ErrorText(), text::kCertificateMissing);
  ASSERT_NO_FATAL_FAILURE(InstallTestCertificates());
  EXPECT_EQ(DecryptAs(kAlice1024), 0) << cipher.ErrorText();
}

#ifndef _WIN32
TEST_F(FileCipherTest, FullDiskWhileDecryptingFailsWith2026) {
  ASSERT_EQ(EncryptContent(PatternBytes(5000), "0A1B&"), 0);
  EXPECT_EQ(cipher.DecryptOneFile(dir.Path("plain.bin.qz"), "/dev/full", kAlice1024), 2026);
  EXPECT_STREQ(cipher.ErrorText(), text::kWritePlain);
}
#endif

TEST_F(FileCipherTest, DamagedFilesFailCleanlyWithoutPlainFile) {
  ASSERT_EQ(EncryptContent(PatternBytes(100), "0A1B&"), 0);
  const auto good = ReadBytes(dir.Path("plain.bin.qz"));
  auto with = [&](std::size_t size) { return std::vector<std::uint8_t>(good.begin(), good.begin() + size); };
  auto patched = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
    auto copy = good;
    std::copy(bytes.begin(), bytes.end(), copy.begin() + at);
    return copy;
  };
  const std::size_t header = 4 + 5 + 4 + kBlock1024;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int code;
  } cases[] = {
      {"empty file", {}, 2018},
      {"list length cut short", with(3), 2018},
      {"list cut short", with(7), 2018},
      {"list length beyond the file", patched(0, {0xF0, 0xFF, 0xFF, 0x7F}), 2018},
      {"key length cut short", with(11), 2018},
      {"key length beyond the file", patched(9, {0xF0, 0xFF, 0xFF, 0xFF}), 2018},
      {"key block cut short", with(header - 40), 2018},
      {"no ciphertext", with(header), 2025},
      {"ciphertext not a multiple of 8", with(good.size() - 3), 2025},
      {"key block of the wrong size", patched(9, {139}), 2022},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir.Path("damaged.qz"), c.bytes);
    EXPECT_EQ(DecryptAs(kAlice1024, "damaged.qz"), c.code) << cipher.ErrorText();
    EXPECT_FALSE(Exists(dir.Path("out.bin")));
  }
}

TEST_F(FileCipherTest, FailedCallLeavesAnExistingTargetAsItWas) {
  const std::vector<std::uint8_t> precious = {'k', 'e', 'e', 'p'};
  WriteBytes(dir.Path("plain.bin"), PatternBytes(3000));
  WriteBytes(dir.Path("earlier.qz"), precious);
  EXPECT_EQ(cipher.EncryptOneFile(dir.Path("plain.bin"), dir.Path("earlier.qz"), "0A1B&FFFF&"), 2009);
  EXPECT_EQ(ReadBytes(dir.Path("earlier.qz")), precious);

  ASSERT_EQ(cipher.EncryptOneFile(dir.Path("plain.bin"), dir.Path("good.qz"), "0A1B&"), 0);
  auto truncated = ReadBytes(dir.Path("good.qz"));
  truncated.resize(truncated.size() - 8);
  truncated.back() ^= 0x55;
  WriteBytes(dir.Path("bad.qz"), truncated);
  WriteBytes(dir.Path("users.txt"), precious);
  EXPECT_NE(cipher.DecryptOneFile(dir.Path("bad.qz"), dir.Path("users.txt"), kAlice1024), 0);
  EXPECT_EQ(ReadBytes(dir.Path("users.txt")), precious);

  // No temporary file is left behind either.
  EXPECT_EQ(FolderEntries(dir.path()),
            (std::vector<std::string>{"bad.qz", "earlier.qz", "good.qz", "plain.bin", "users.txt"}));
}

TEST_F(FileCipherTest, SuccessfulCallReplacesAnExistingTarget) {
  const auto content = PatternBytes(77);
  WriteBytes(dir.Path("plain.bin.qz"), {'o', 'l', 'd'});
  ASSERT_EQ(EncryptContent(content, "0A1B&"), 0);
  WriteBytes(dir.Path("out.bin"), PatternBytes(100000));
#ifndef _WIN32
  // A private file stays private when it is written over.
  fs::permissions(dir.Path("out.bin"), fs::perms::owner_read | fs::perms::owner_write);
#endif
  ASSERT_EQ(DecryptAs(kAlice1024), 0);
  EXPECT_EQ(ReadBytes(dir.Path("out.bin")), content);
#ifndef _WIN32
  EXPECT_EQ(fs::status(dir.Path("out.bin")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
#endif
}

TEST_F(FileCipherTest, PathsThatDoNotFitFailInsteadOfBeingCut) {
  ASSERT_EQ(EncryptContent(PatternBytes(10), "0A1B&"), 0);
  const std::string longName = dir.Path(std::string(300 - dir.path().size(), 'n'));
  EXPECT_EQ(cipher.EncryptOneFile(dir.Path("plain.bin"), longName, "0A1B&"), 2002);
  EXPECT_EQ(cipher.EncryptOneFile(longName, dir.Path("x.qz"), "0A1B&"), 2001);
  EXPECT_EQ(cipher.DecryptOneFile(longName, dir.Path("x"), kAlice1024), 2017);
  EXPECT_EQ(cipher.DecryptOneFile(dir.Path("plain.bin.qz"), longName, kAlice1024), 2023);
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"plain.bin", "plain.bin.qz"}));
}

// A target path of 255 bytes fits the path buffer, and so must its temporary file; with room for
// a one-letter temporary name only, every such name planted as a link must make the call fail
// rather than write through the link.
TEST_F(FileCipherTest, TemporaryFileFitsThePathBufferAndIsCreatedExclusively) {
  ASSERT_EQ(EncryptContent(PatternBytes(300), "0A1B&"), 0) << cipher.ErrorText();
  std::string folder = dir.path();
  while (folder.size() < kPathBufferSize - 3) {
    folder += qz::kPathSeparator + std::string(std::min<std::size_t>(100, kPathBufferSize - 4 - folder.size()), 'd');
    fs::create_directory(folder);
  }
  const std::string target = folder + qz::kPathSeparator + "t";
  ASSERT_EQ(target.size(), kPathBufferSize - 1);

  EXPECT_EQ(cipher.EncryptOneFile(dir.Path("plain.bin"), target, "0A1B&"), 0) << cipher.ErrorText();
  EXPECT_EQ(cipher.DecryptOneFile(dir.Path("plain.bin.qz"), target, kAlice1024), 0) << cipher.ErrorText();
  EXPECT_EQ(ReadBytes(target), PatternBytes(300));
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"t"});

#ifndef _WIN32
  const std::vector<std::uint8_t> victim = {'v'};
  WriteBytes(dir.Path("victim"), victim);
  for (char c : std::string("abcdefghijklmnopqrsuvwxyz0123456789"))  // "t" is the target itself
    fs::create_symlink(dir.Path("victim"), folder + "/" + c);
  EXPECT_EQ(cipher.DecryptOneFile(dir.Path("plain.bin.qz"), target, kAlice1024), 2023);
  EXPECT_EQ(ReadBytes(dir.Path("victim")), victim);
  EXPECT_EQ(ReadBytes(target), PatternBytes(300));
#endif
}

#ifndef _WIN32
// A link at the target (a managed settings file, a linked document) stays a link: the file it
// names gets the new content.
TEST_F(FileCipherTest, LinkAtTheTargetIsWrittenThrough) {
  ASSERT_EQ(EncryptContent(PatternBytes(500), "0A1B&"), 0) << cipher.ErrorText();
  fs::create_directory(dir.Path("real"));
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link, what it names
    std::string written;  // the file that must hold the content
  } cases[] = {
      {"absolute link", {{"out.bin", dir.Path("real/a")}}, dir.Path("real/a")},
      {"relative link", {{"out.bin", "real/b"}}, dir.Path("real/b")},
      {"chain of links", {{"out.bin", "hop"}, {"hop", "real/c"}}, dir.Path("real/c")},
      {"link to a file not there yet", {{"out.bin", "real/new"}}, dir.Path("real/new")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& [link, to] : c.links) {
      fs::remove(dir.Path(link));
      fs::create_symlink(to, dir.Path(link));
    }
    if (std::string(c.name) != "link to a file not there yet") WriteBytes(c.written, {'o', 'l', 'd'});
    ASSERT_EQ(DecryptAs(kAlice1024), 0) << cipher.ErrorText();
    EXPECT_TRUE(fs::is_symlink(dir.Path("out.bin")));
    EXPECT_EQ(ReadBytes(c.written), PatternBytes(500));
    EXPECT_EQ(FolderEntries(dir.Path("real")).size(), std::size_t(&c - cases + 1)) << "no temporary file left";
  }
}
#endif

}  // namespace
}  // namespace qz::test
