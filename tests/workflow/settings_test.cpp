// The settings file as the dialogs and the runs use it: defaults for what is missing, names
// without regard to case, the 127-byte cut, the order of the default certificate's keys, and
// the per-user file that takes the writes a read-only Windows directory refuses.
#include <gtest/gtest.h>

#include "ini_file.h"
#include "naming.h"
#include "settings.h"
#include "unique_handle.h"
#include "workflow_test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>

#include "linux/zevireve_home.h"
#endif

namespace qz {
namespace {

using test::ContentOf;
using test::ScratchDir;

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// On Linux the home decides where the user's file is.
SettingsFile UserSettingsIn(const ScratchDir& home) {
#ifndef _WIN32
  SetZevireveHome(home.path());
#else
  (void)home;
#endif
  return SettingsFile::OfUser();
}

// The user's own settings: on Windows the real files of the test prefix, removed before and
// after each test; on Linux those of a fresh home.
class UserSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveFiles(); }
  void TearDown() override { RemoveFiles(); }

  void RemoveFiles() {
    for (const std::string& path : {settings_.path(), settings_.userPath()}) {
      if (path.empty()) continue;
#ifdef _WIN32
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
      std::remove(path.c_str());
    }
  }

  ScratchDir home_;
  const SettingsFile settings_ = UserSettingsIn(home_);
};

TEST_F(UserSettingsTest, MissingFileReadsAsDefaults) {
  EXPECT_EQ(settings_.ReadInt(key::kSetCertFlag), 0);
  EXPECT_EQ(settings_.ReadText(key::kCertSerial), "");
  EXPECT_EQ(settings_.ReadText(key::kDirectoryHost), "");
  EXPECT_EQ(settings_.ReadInt(key::kDirectoryPort), 0);
  EXPECT_EQ(DefaultCertificateName(settings_), "");
}

TEST_F(UserSettingsTest, DefaultCertificateNameCountsOnlyWithFlagOne) {
  const std::string longName(200, 'N');
  const struct {
    const char* what;
    std::string file;
    std::string name;
  } rows[] = {
      {"flag 1", "[CODE]\nSETCERFLG=1\nCERTNAME=Alice 1024\n", "Alice 1024"},
      {"flag 2", "[CODE]\nSETCERFLG=2\nCERTNAME=Alice 1024\n", ""},
      {"flag 0", "[CODE]\nSETCERFLG=0\nCERTNAME=Alice 1024\n", ""},
      {"flag not a number", "[CODE]\nSETCERFLG=yes\nCERTNAME=Alice 1024\n", ""},
      {"no flag", "[CODE]\nCERTNAME=Alice 1024\n", ""},
      {"empty name", "[CODE]\nSETCERFLG=1\nCERTNAME=\n", ""},
      {"lower-case names", "[code]\nsetcerflg=1\ncertname=Alice 1024\n", "Alice 1024"},
      {"another section", "[OTHER]\nSETCERFLG=1\nCERTNAME=Alice 1024\n", ""},
      {"200-byte name", "[CODE]\nSETCERFLG=1\nCERTNAME=" + longName + "\n", longName.substr(0, 127)},
  };
  for (const auto& row : rows) {
    WriteText(settings_.path(), row.file);
    EXPECT_EQ(DefaultCertificateName(settings_), row.name) << row.what;
  }
}

TEST_F(UserSettingsTest, DirectoryKeysAreReadAsProvisioned) {
  WriteText(settings_.path(), "[CODE]\nQZIP=ldap.example.org\nQZPORT=389\nQZSDN=dc=example\nQZPASSWORD=secret\n");
  EXPECT_EQ(settings_.ReadText(key::kDirectoryHost), "ldap.example.org");
  EXPECT_EQ(settings_.ReadInt(key::kDirectoryPort), 389);
  EXPECT_EQ(settings_.ReadText(key::kDirectoryBindName), "dc=example");
  EXPECT_EQ(settings_.ReadText(key::kDirectoryPassword), "secret");
}

TEST_F(UserSettingsTest, DefaultCertificateIsWrittenFlagNameSerialInOrder) {
  ASSERT_TRUE(WriteDefaultCertificate(settings_, "Alice 1024", "0A1B"));
  const std::string file = ContentOf(settings_.path());
  const std::size_t flag = file.find("SETCERFLG=1"), name = file.find("CERTNAME=Alice 1024"),
                    serial = file.find("CERTSerial=0A1B");
  ASSERT_NE(serial, std::string::npos) << file;
  EXPECT_LT(flag, name) << file;
  EXPECT_LT(name, serial) << file;
  EXPECT_EQ(file.find("[CODE]"), 0u) << file;
  EXPECT_EQ(DefaultCertificateName(settings_), "Alice 1024");
  EXPECT_EQ(settings_.ReadText(key::kCertSerial), "0A1B");
}

TEST_F(UserSettingsTest, WriteReplacesTheValueAndKeepsTheOtherKeys) {
  WriteText(settings_.path(),
            "[OTHER]\nkept=yes\n[code]\nQZIP=ldap.example.org\ncertname=Old Name\nQZPORT=389\n");
  ASSERT_TRUE(WriteDefaultCertificate(settings_, "Bob 2048", "0080AB"));
  EXPECT_EQ(DefaultCertificateName(settings_), "Bob 2048");
  EXPECT_EQ(settings_.ReadText(key::kDirectoryHost), "ldap.example.org");
  EXPECT_EQ(settings_.ReadInt(key::kDirectoryPort), 389);
  EXPECT_EQ(IniReadText(settings_.path(), "OTHER", "kept"), "yes");
  const std::string file = ContentOf(settings_.path());
  EXPECT_EQ(file.find("Old Name"), std::string::npos) << file;
}

#ifndef _WIN32
TEST_F(UserSettingsTest, WriteKeepsTheFilesPermissions) {
  // The file may hold the directory password: a rewrite must not make it readable to others.
  WriteText(settings_.path(), "[CODE]\nQZPASSWORD=secret\n");
  ASSERT_EQ(chmod(settings_.path().c_str(), 0600), 0);
  ASSERT_TRUE(WriteDefaultCertificate(settings_, "Alice 1024", "0A1B"));
  struct stat st;
  ASSERT_EQ(stat(settings_.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(settings_.ReadText(key::kDirectoryPassword), "secret");
}
#endif

#ifdef _WIN32
void CloseFileHandle(HANDLE file) { CloseHandle(file); }
using unique_file_handle = unique_handle<HANDLE, CloseFileHandle>;

TEST_F(UserSettingsTest, ReadOnlyWindowsDirectoryFileSendsWritesToTheUserFile) {
  const std::string provisioned = "[CODE]\r\nQZIP=ldap.example.org\r\n";
  WriteText(settings_.path(), provisioned);
  ASSERT_TRUE(SetFileAttributesA(settings_.path().c_str(), FILE_ATTRIBUTE_READONLY));
  // Wine run as root writes read-only files all the same: a handle that lets others read but
  // not write makes the Windows directory's file as unwritable as it is without elevation.
  HANDLE opened = CreateFileA(settings_.path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  unique_file_handle denyWriters(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
  ASSERT_TRUE(denyWriters);

  ASSERT_TRUE(WriteDefaultCertificate(settings_, "Alice 1024", "0A1B"));
  EXPECT_EQ(IniReadText(settings_.userPath(), kSettingsSection, key::kCertSerial), "0A1B");
  EXPECT_EQ(DefaultCertificateName(SettingsFile::OfUser()), "Alice 1024");
  EXPECT_EQ(SettingsFile::OfUser().ReadText(key::kDirectoryHost), "ldap.example.org");
  denyWriters.reset();
  EXPECT_EQ(ContentOf(settings_.path()), provisioned);
}
#endif

// Two files at chosen paths: the shadowing rules on both platforms.
class ShadowedSettingsTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  std::string main_ = dir_.Path("zeVireve.ini");
  std::string user_ = dir_.Path("user.ini");
};

TEST_F(ShadowedSettingsTest, UserFileShadowsKeyByKey) {
  WriteText(main_, "[CODE]\nSETCERFLG=1\nCERTNAME=Main Name\nQZIP=main.example\n");
  WriteText(user_, "[CODE]\nCERTNAME=User Name\n");
  const SettingsFile settings(main_, user_);
  EXPECT_EQ(DefaultCertificateName(settings), "User Name");
  EXPECT_EQ(settings.ReadText(key::kDirectoryHost), "main.example");
}

TEST_F(ShadowedSettingsTest, KeyHeldByTheUserFileIsWrittenThere) {
  WriteText(main_, "[CODE]\nCERTNAME=Main Name\n");
  WriteText(user_, "[CODE]\nCERTNAME=User Name\n");
  const SettingsFile settings(main_, user_);
  ASSERT_TRUE(settings.WriteText(key::kCertName, "New Name"));
  EXPECT_EQ(settings.ReadText(key::kCertName), "New Name");
  EXPECT_EQ(IniReadText(main_, kSettingsSection, key::kCertName), "Main Name");
}

TEST_F(ShadowedSettingsTest, UnwritableMainFileSendsTheWriteToTheUserFile) {
  const SettingsFile settings(JoinPath(dir_.Path("missing"), kSettingsFileName), user_);
  ASSERT_TRUE(WriteDefaultCertificate(settings, "Alice 1024", "0A1B"));
  EXPECT_EQ(DefaultCertificateName(settings), "Alice 1024");
  EXPECT_EQ(settings.ReadText(key::kCertSerial), "0A1B");
}

TEST_F(ShadowedSettingsTest, WriteFailsWhenNoFileTakesIt) {
  const SettingsFile settings(JoinPath(dir_.Path("missing"), kSettingsFileName));
  EXPECT_FALSE(settings.WriteText(key::kCertName, "Alice 1024"));
}

}  // namespace
}  // namespace qz
