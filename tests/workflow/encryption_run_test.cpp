// The folder encryption run with the real engine and stores: its refusals, the flat walk, the
// recipient list it writes into every file, and how it stops at the first failing file.
#include <gtest/gtest.h>

#include <algorithm>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "encryption_run.h"
#include "failure.h"
#include "file_cipher.h"
#include "folder_listing.h"
#include "naming.h"
#include "narrow_text.h"
#include "run_messages.h"
#include "settings.h"
#include "workflow_test_support.h"

namespace qz {
namespace {

using test::FileNamesIn;
using test::RecipientListOf;
using test::ShownMessage;

class EncryptionRunTest : public test::WithTestCertificates {
 protected:
  // A run from `src` to `out.qz` in the scratch folder, the default certificate alice's.
  EncryptionInputs Inputs() const { return {src_, out_, "Alice 1024", {}}; }
  RunEnd Run(const EncryptionInputs& inputs, const std::string& defaultSerial = test::kAlice1024) {
    settings_.WriteText(key::kCertSerial, defaultSerial);
    return OnEncrypt(inputs, settings_, sink_);
  }
  std::vector<ShownMessage> Succeeded() const {
    return {{message::kEncrypted, caption::kInformation, MessageIcon::Exclamation}};
  }
  std::vector<ShownMessage> Refused(const char* text) const { return {{text, caption::kRefused, MessageIcon::Error}}; }

  test::ScratchDir dir_;
  const std::string src_ = dir_.Path("docs");
  const std::string out_ = dir_.Path("docs.qz");
  const SettingsFile settings_{dir_.Path(kSettingsFileName)};
  test::RecordingSink sink_;
};

TEST_F(EncryptionRunTest, RefusedRunsLeaveTheDialogOpen) {
  const struct {
    const char* what;
    std::string source, destination, certificateName, defaultSerial;
    std::vector<CertificateRow> rows;
    const char* message;
    bool destinationMade;
  } rows[] = {
      {"no source", "", "docs.qz", "Alice 1024", "0A1B", {}, message::kNoSourceFolder, false},
      {"no destination", "docs", "", "Alice 1024", "0A1B", {}, message::kNoEncryptDestination, false},
      {"missing parent", "docs", "x|y.qz", "Alice 1024", "0A1B", {}, message::kCreateFolderFailed, false},
      {"nobody to encrypt for", "docs", "docs.qz", "Alice 1024", "", {{false, "0080AB"}}, message::kNoEncryptCertificate, false},
      {"no certificate name", "docs", "docs.qz", "", "0A1B", {}, message::kNoEncryptCertificate, true},
      {"no name, only a ticked row", "docs", "docs.qz", "", "", {{true, "0080AB"}}, message::kNoEncryptCertificate, true},
  };
  for (const auto& row : rows) {
    test::ScratchDir dir;
    test::MakeFolderWithFiles(dir.Path("docs"), {"a.txt"});
    const auto at = [&](std::string name) {
      std::replace(name.begin(), name.end(), '|', kPathSeparator);
      return name.empty() ? name : dir.Path(name);
    };
    const SettingsFile settings(dir.Path(kSettingsFileName));
    settings.WriteText(key::kCertSerial, row.defaultSerial);
    test::RecordingSink sink;

    EXPECT_EQ(OnEncrypt({at(row.source), at(row.destination), row.certificateName, row.rows}, settings, sink),
              RunEnd::Refused)
        << row.what;
    EXPECT_EQ(sink.shown, Refused(row.message)) << row.what;
    EXPECT_EQ(PathExists(at(row.destination)), row.destinationMade) << row.what;
    if (row.destinationMade) {
      EXPECT_TRUE(FileNamesIn(at(row.destination)).empty()) << row.what;
    }
  }
}

TEST_F(EncryptionRunTest, WalkIsFlatAndSkipsSubfolders) {
  test::MakeFolderWithFiles(src_, {"a.txt", "b.doc"});
  test::MakeFolderWithFiles(JoinPath(src_, "sub"), {"c.txt"});

  EXPECT_EQ(Run(Inputs()), RunEnd::Succeeded);
  EXPECT_EQ(sink_.shown, Succeeded());
  EXPECT_EQ(FileNamesIn(out_), (std::vector<std::string>{"a.txt.qz", "b.doc.qz"}));
  EXPECT_FALSE(PathExists(JoinPath(out_, "sub")));
  CFileCipher cipher;
  ASSERT_EQ(cipher.DecryptOneFile(JoinPath(out_, "a.txt.qz"), dir_.Path("a.back"), test::kAlice1024), 0)
      << cipher.ErrorText();
  EXPECT_EQ(test::ContentOf(dir_.Path("a.back")), "a.txt");
}

#ifndef _WIN32
TEST_F(EncryptionRunTest, WalkTakesRegularFilesOnly) {
  // A pipe would block the run on its first read; a device is no file of the folder.
  test::MakeFolderWithFiles(src_, {"a.txt"});
  ASSERT_EQ(mkfifo(JoinPath(src_, "pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/null", JoinPath(src_, "device").c_str()), 0);
  ASSERT_EQ(symlink(JoinPath(src_, "gone").c_str(), JoinPath(src_, "dangling").c_str()), 0);
  ASSERT_EQ(symlink(JoinPath(src_, "a.txt").c_str(), JoinPath(src_, "link.txt").c_str()), 0);

  EXPECT_EQ(test::Sorted(WalkSourceFolder(src_)), test::Sorted({JoinPath(src_, "a.txt"), JoinPath(src_, "link.txt")}));
  EXPECT_EQ(Run(Inputs()), RunEnd::Succeeded);
  EXPECT_EQ(FileNamesIn(out_), (std::vector<std::string>{"a.txt.qz", "link.txt.qz"}));
}
#endif

TEST_F(EncryptionRunTest, NothingToEncryptStillSucceeds) {
  const struct {
    const char* what;
    bool makeSource;
  } rows[] = {{"only a subfolder", true}, {"source missing", false}};
  for (const auto& row : rows) {
    test::ScratchDir dir;
    const std::string src = dir.Path("docs"), out = dir.Path("docs.qz");
    if (row.makeSource) {
      test::MakeFolderWithFiles(src, {});
      test::MakeFolderWithFiles(JoinPath(src, "sub"), {"c.txt"});
    }
    const SettingsFile settings(dir.Path(kSettingsFileName));
    settings.WriteText(key::kCertSerial, test::kAlice1024);
    test::RecordingSink sink;

    EXPECT_EQ(OnEncrypt({src, out, "Alice 1024", {}}, settings, sink), RunEnd::Succeeded) << row.what;
    EXPECT_EQ(sink.shown, Succeeded()) << row.what;
    EXPECT_TRUE(PathExists(out)) << row.what;
    EXPECT_TRUE(FileNamesIn(out).empty()) << row.what;
  }
}

TEST_F(EncryptionRunTest, RecipientListIsTheDefaultThenTheTickedRows) {
  test::MakeFolderWithFiles(src_, {"a.txt"});
  EncryptionInputs inputs = Inputs();
  inputs.otherCertificates = {{true, "0A1B"}, {false, "0080AB"}, {true, "3C2B1A"}};

  EXPECT_EQ(Run(inputs), RunEnd::Succeeded);
  // The default also ticked stands twice; the unticked row is left out.
  EXPECT_EQ(RecipientListOf(JoinPath(out_, "a.txt.qz")), "0A1B&0A1B&3C2B1A&");
}

TEST_F(EncryptionRunTest, WithoutDefaultSerialOnlyTheTickedRowsCount) {
  test::MakeFolderWithFiles(src_, {"a.txt"});
  EncryptionInputs inputs = Inputs();
  inputs.otherCertificates = {{true, "0080AB"}};

  EXPECT_EQ(Run(inputs, ""), RunEnd::Succeeded);
  EXPECT_EQ(RecipientListOf(JoinPath(out_, "a.txt.qz")), "0080AB&");
}

TEST_F(EncryptionRunTest, DestinationThatIsAFileFailsAtTheFirstFile) {
  test::MakeFolderWithFiles(src_, {"a.txt", "b.txt"});
  test::WriteBytes(out_, {'k', 'e', 'e', 'p'});

  EXPECT_EQ(Run(Inputs()), RunEnd::Failed);
  EXPECT_EQ(sink_.shown, (std::vector<ShownMessage>{{text::kCreateTarget, caption::kEngineFailure, MessageIcon::Error}}));
  EXPECT_EQ(test::ContentOf(out_), "keep");
}

TEST_F(EncryptionRunTest, ThirdOfFiveFailingEndsTheRunThere) {
  test::MakeFolderWithFiles(src_, {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"});
  const std::vector<std::string> order = WalkSourceFolder(src_);
  ASSERT_EQ(order.size(), 5u);
  // A folder where the third file's output belongs: its encrypted file cannot take the name.
  ASSERT_TRUE(CreateFolder(out_));
  const std::string third = FileNameOf(order[2]) + ".qz";
  ASSERT_TRUE(CreateFolder(JoinPath(out_, third)));

  EXPECT_EQ(Run(Inputs()), RunEnd::Failed);
  ASSERT_EQ(sink_.shown.size(), 1u);
  EXPECT_EQ(sink_.shown[0].caption, caption::kEngineFailure);
  EXPECT_EQ(sink_.shown[0].icon, MessageIcon::Error);
  EXPECT_FALSE(sink_.shown[0].text.empty());
  EXPECT_EQ(FileNamesIn(out_), test::Sorted({FileNameOf(order[0]) + ".qz", FileNameOf(order[1]) + ".qz"}));
}

TEST_F(EncryptionRunTest, FailedFileLeavesAnEarlierOutputWhole) {
  test::MakeFolderWithFiles(src_, {"a.txt"});
  ASSERT_TRUE(CreateFolder(out_));
  test::WriteBytes(JoinPath(out_, "a.txt.qz"), {'o', 'l', 'd'});

  // A serial in no store fails once the header is written.
  EXPECT_EQ(Run(Inputs(), "FFFF01"), RunEnd::Failed);
  EXPECT_EQ(sink_.shown,
            (std::vector<ShownMessage>{{text::kRecipientNotFound, caption::kEngineFailure, MessageIcon::Error}}));
  EXPECT_EQ(test::ContentOf(JoinPath(out_, "a.txt.qz")), "old");
  EXPECT_EQ(FileNamesIn(out_), (std::vector<std::string>{"a.txt.qz"}));
}

TEST_F(EncryptionRunTest, DoubleByteNamesKeepTheirLastByte) {
#ifdef _WIN32
  const std::string name = "\x81\x5C.txt";  // 乗: its trail byte is a backslash
#else
  const std::string name = "报告.txt";
#endif
  test::MakeFolderWithFiles(src_, {name});
  EXPECT_EQ(Run(Inputs()), RunEnd::Succeeded);
  EXPECT_EQ(FileNamesIn(out_), (std::vector<std::string>{name + ".qz"}));
}

}  // namespace
}  // namespace qz
