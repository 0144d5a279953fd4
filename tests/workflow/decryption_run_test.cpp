// The decryption side with the real engine and stores: the listing of an encrypted folder, the
// certificates a scan offers, and the run with its refusals, names and first failure.
#include <gtest/gtest.h>

#include "decryption_run.h"
#include "failure.h"
#include "file_cipher.h"
#include "file_format.h"
#include "folder_listing.h"
#include "naming.h"
#include "run_messages.h"
#include "workflow_test_support.h"

namespace qz {
namespace {

using test::ContentOf;
using test::FileNamesIn;
using test::ShownMessage;
using Items = std::vector<std::string>;

constexpr char kAliceItem[] = "Alice 1024(0A1B)";
constexpr char kBobItem[] = "Bob 2048(0080AB)";

// What a file starts with: the list length and the list. The scan reads nothing more.
void WriteHeaderOnly(const std::string& path, const std::string& list) {
  std::vector<std::uint8_t> bytes;
  AppendU32(bytes, std::uint32_t(list.size()));
  bytes.insert(bytes.end(), list.begin(), list.end());
  // An empty key block per serial: a list whose key block lengths do not fit is a damaged file.
  bytes.resize(bytes.size() + 4 * CountRecipients(list), 0);
  test::WriteBytes(path, bytes);
}

class DecryptionRunTest : public test::WithTestCertificates {
 protected:
  void Encrypt(const std::string& plainName, const std::string& content, const std::string& encryptedPath,
               const std::string& recipients = "0A1B&") {
    const std::string plain = dir_.Path(plainName);
    test::WriteBytes(plain, std::vector<std::uint8_t>(content.begin(), content.end()));
    CFileCipher cipher;
    ASSERT_EQ(cipher.EncryptOneFile(plain, encryptedPath, recipients), 0) << cipher.ErrorText();
  }
  DecryptionInputs Inputs(std::vector<std::string> files, std::optional<std::string> item = kAliceItem) const {
    return {enc_, out_, std::move(files), std::move(item)};
  }

  test::ScratchDir dir_;
  const std::string enc_ = dir_.Path("docs.qz");
  const std::string out_ = dir_.Path("docs");
  test::RecordingSink sink_;
  SortedCertificateItems items_;
};

TEST_F(DecryptionRunTest, ListingTakesFilesWhosePathHoldsQz) {
  test::MakeFolderWithFiles(enc_, {"a.doc.qz", "b.txt.qz", "readme.doc"});
  test::MakeFolderWithFiles(JoinPath(enc_, "old.qz"), {"c.txt.qz"});
  const std::string plain = dir_.Path("mixed");
  test::MakeFolderWithFiles(plain, {"x.qz", "y.doc"});

  // In a ".qz" folder the stray plain file counts too; subfolders are not entered.
  EXPECT_EQ(test::Sorted(ListEncryptedFiles(enc_)),
            test::Sorted({JoinPath(enc_, "a.doc.qz"), JoinPath(enc_, "b.txt.qz"), JoinPath(enc_, "readme.doc")}));
  EXPECT_EQ(ListEncryptedFiles(plain), (std::vector<std::string>{JoinPath(plain, "x.qz")}));
}

TEST_F(DecryptionRunTest, ScanOffersTheUsersCertificatesAmongTheRecipients) {
  const struct {
    const char* what;
    std::string list;
    Items items;
  } rows[] = {
      {"two recipients", "0080AB&0A1B&", {kAliceItem, kBobItem}},
      {"serial as the file writes it", "0a1b&", {"Alice 1024(0a1b)"}},
      {"duplicates, sorted", "0A1B&0080AB&0A1B&", {kAliceItem, kAliceItem, kBobItem}},
      {"no & at all", "0A1B", {}},
      {"address book only", "3C2B1A&", {}},
      {"in no store", "FFFF01&", {}},
  };
  for (const auto& row : rows) {
    test::ScratchDir dir;
    const std::string folder = dir.Path("f.qz");
    ASSERT_TRUE(CreateFolder(folder));
    WriteHeaderOnly(JoinPath(folder, "a.qz"), row.list);
    SortedCertificateItems items;
    test::RecordingSink sink;

    EXPECT_EQ(LoadDecryptionCertificates(folder, items, sink).size(), 1u) << row.what;
    EXPECT_EQ(items.items(), row.items) << row.what;
    EXPECT_EQ(items.Selected(), row.items.empty() ? std::nullopt : std::optional<std::string>(row.items[0])) << row.what;
    EXPECT_TRUE(sink.shown.empty()) << row.what;
  }
}

TEST_F(DecryptionRunTest, ScanOfAnEmptyFirstFileOffersNothing) {
  test::MakeFolderWithFiles(enc_, {});
  test::WriteBytes(JoinPath(enc_, "a.qz"), {});
  EXPECT_EQ(LoadDecryptionCertificates(enc_, items_, sink_).size(), 1u);
  EXPECT_TRUE(items_.items().empty());
  EXPECT_TRUE(sink_.shown.empty());
}

TEST_F(DecryptionRunTest, ScanMessages) {
  const struct {
    const char* what;
    std::vector<std::uint8_t> firstFile;  // none: the folder is empty
    bool hasFile;
    const char* message;
  } rows[] = {
      {"no encrypted file", {}, false, message::kNoEncryptedFiles},
      {"shorter than the length", {1, 0, 0}, true, message::kScanException},
      {"length beyond the end", {9, 0, 0, 0, 'A', '&'}, true, message::kScanException},
  };
  for (const auto& row : rows) {
    test::ScratchDir dir;
    const std::string folder = dir.Path("f.qz");
    ASSERT_TRUE(CreateFolder(folder));
    if (row.hasFile) test::WriteBytes(JoinPath(folder, "a.qz"), row.firstFile);
    SortedCertificateItems items;
    items.Add(kBobItem);  // from an earlier scan: it stays
    test::RecordingSink sink;

    LoadDecryptionCertificates(folder, items, sink);
    EXPECT_EQ(sink.shown, (std::vector<ShownMessage>{{row.message, caption::kInformation, MessageIcon::Information}}))
        << row.what;
    EXPECT_EQ(items.items(), Items{kBobItem}) << row.what;
  }
}

TEST_F(DecryptionRunTest, OnlyTheFirstFilesRecipientsAreOffered) {
  test::MakeFolderWithFiles(enc_, {});
  Encrypt("a", "a", JoinPath(enc_, "a.qz"), "0A1B&");
  Encrypt("b", "b", JoinPath(enc_, "b.qz"), "0080AB&");

  const std::vector<std::string> files = LoadDecryptionCertificates(enc_, items_, sink_);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(items_.items(), Items{FileNameOf(files[0]) == "a.qz" ? kAliceItem : kBobItem});
}

TEST_F(DecryptionRunTest, SecondScanAddsToTheItemsAndSelectsTheFirst) {
  const std::string second = dir_.Path("second.qz");
  test::MakeFolderWithFiles(enc_, {});
  test::MakeFolderWithFiles(second, {});
  WriteHeaderOnly(JoinPath(enc_, "a.qz"), "0080AB&");
  WriteHeaderOnly(JoinPath(second, "a.qz"), "0A1B&");

  LoadDecryptionCertificates(enc_, items_, sink_);
  LoadDecryptionCertificates(second, items_, sink_);
  EXPECT_EQ(items_.items(), (Items{kAliceItem, kBobItem}));
  EXPECT_EQ(items_.Selected(), kAliceItem);
}

TEST_F(DecryptionRunTest, RunDecryptsEveryFileUnderItsPlainName) {
  test::MakeFolderWithFiles(enc_, {});
  Encrypt("quiz", "quiz content", JoinPath(enc_, "quiz.doc.qz"));
  Encrypt("bak", "bak content", JoinPath(enc_, "a.qz.bak"));
  const std::vector<std::string> files = LoadDecryptionCertificates(enc_, items_, sink_);
  ASSERT_EQ(items_.Selected(), kAliceItem);

  EXPECT_EQ(OnDecrypt(Inputs(files, items_.Selected()), sink_), RunEnd::Succeeded);
  EXPECT_EQ(sink_.shown, (std::vector<ShownMessage>{{message::kDecrypted, caption::kInformation, MessageIcon::Information}}));
  // The last z is the suffix's in quiz.doc.qz; a.qz.bak is cut before the z of ".qz".
  EXPECT_EQ(FileNamesIn(out_), (std::vector<std::string>{"a", "quiz.doc"}));
  EXPECT_EQ(ContentOf(JoinPath(out_, "quiz.doc")), "quiz content");
  EXPECT_EQ(ContentOf(JoinPath(out_, "a")), "bak content");
}

TEST_F(DecryptionRunTest, RefusedRunsLeaveTheDialogOpen) {
  test::MakeFolderWithFiles(enc_, {});
  Encrypt("a", "a", JoinPath(enc_, "a.qz"));
  const std::vector<std::string> files = {JoinPath(enc_, "a.qz")};
  const struct {
    const char* what;
    DecryptionInputs inputs;
    ShownMessage message;
  } rows[] = {
      {"no encrypted folder", {"", out_, files, kAliceItem}, {message::kNoEncryptedFolder, caption::kRefused, MessageIcon::Error}},
      {"no destination", {enc_, "", files, kAliceItem}, {message::kNoDecryptDestination, caption::kRefused, MessageIcon::Error}},
      {"missing parent", {enc_, JoinPath(dir_.Path("new"), "out"), files, kAliceItem},
       {message::kCreateFolderFailed, caption::kRefused, MessageIcon::Error}},
      {"no item selected", {enc_, out_, files, std::nullopt},
       {message::kNoDecryptCertificate, caption::kInformation, MessageIcon::Error}},
  };
  for (const auto& row : rows) {
    test::RecordingSink sink;
    EXPECT_EQ(OnDecrypt(row.inputs, sink), RunEnd::Refused) << row.what;
    EXPECT_EQ(sink.shown, std::vector<ShownMessage>{row.message}) << row.what;
    EXPECT_TRUE(FileNamesIn(out_).empty()) << row.what;
  }
  EXPECT_FALSE(PathExists(dir_.Path("new")));
}

TEST_F(DecryptionRunTest, StrayPlainFileStopsTheRunAfterTheFilesBeforeIt) {
  test::MakeFolderWithFiles(enc_, {"readme.doc"});
  Encrypt("a", "a content", JoinPath(enc_, "a.txt.qz"));
  Encrypt("b", "b content", JoinPath(enc_, "b.txt.qz"));
  const std::vector<std::string> files = {JoinPath(enc_, "a.txt.qz"), JoinPath(enc_, "readme.doc"),
                                          JoinPath(enc_, "b.txt.qz")};

  EXPECT_EQ(OnDecrypt(Inputs(files), sink_), RunEnd::Failed);
  EXPECT_EQ(sink_.shown, (std::vector<ShownMessage>{{text::kReadHeader, caption::kDecryptFailure, MessageIcon::Information}}));
  EXPECT_EQ(FileNamesIn(out_), (std::vector<std::string>{"a.txt"}));
}

TEST_F(DecryptionRunTest, DamagedFileLeavesAnExistingPlainFileWhole) {
  test::MakeFolderWithFiles(enc_, {});
  const std::string encrypted = JoinPath(enc_, "a.txt.qz");
  Encrypt("a", "new content", encrypted);
  std::vector<std::uint8_t> bytes = test::ReadBytes(encrypted);
  bytes.pop_back();  // the ciphertext no longer ends on a block
  test::WriteBytes(encrypted, bytes);
  test::MakeFolderWithFiles(out_, {"a.txt"});

  EXPECT_EQ(OnDecrypt(Inputs({encrypted}), sink_), RunEnd::Failed);
  ASSERT_EQ(sink_.shown.size(), 1u);
  EXPECT_EQ(sink_.shown[0].caption, caption::kDecryptFailure);
  EXPECT_EQ(ContentOf(JoinPath(out_, "a.txt")), "a.txt");
  EXPECT_EQ(FileNamesIn(out_), (std::vector<std::string>{"a.txt"}));
}

TEST_F(DecryptionRunTest, EmptyFileListSucceeds) {
  EXPECT_EQ(OnDecrypt(Inputs({}), sink_), RunEnd::Succeeded);
  EXPECT_EQ(sink_.shown, (std::vector<ShownMessage>{{message::kDecrypted, caption::kInformation, MessageIcon::Information}}));
  EXPECT_TRUE(PathExists(out_));
}

}  // namespace
}  // namespace qz
