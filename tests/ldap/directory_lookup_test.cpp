// The directory lookup against a real directory: ldap_fixture.py starts an OpenLDAP slapd on
// 127.0.0.1 and names it in the environment (its entries are listed there).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cert_store.h"
#include "directory_lookup.h"
#include "directory_test_support.h"
#include "run_messages.h"
#include "workflow_test_support.h"

#ifndef _WIN32
#include "linux/zevireve_home.h"
#endif

namespace qz::test {
namespace {

constexpr char kIssuer[] = "ZaDizuvOzar Directory CA";
constexpr char kLoopback[] = "127.0.0.1";

std::vector<std::string> SerialsOf(const std::vector<DirectoryRow>& rows) {
  std::vector<std::string> serials;
  for (const DirectoryRow& row : rows) serials.push_back(row.serial);
  return serials;
}

void ExpectMessage(const DirectoryLookup& lookup, const char* text) {
  ASSERT_TRUE(lookup.message.has_value());
  EXPECT_EQ(std::string(lookup.message->text), text);
  EXPECT_EQ(std::string(lookup.message->caption), caption::kInformation);
  EXPECT_EQ(lookup.message->icon, MessageIcon::Information);
}

bool InAddressBook(const std::string& serial) {
  for (const Certificate& cert : ReadStore(Store::AddressBook))
    if (SerialTextsEqual(CertSerialToText(cert), serial)) return true;
  return false;
}

class DirectoryLookupTest : public ::testing::Test {
 protected:
  // On Linux the stores of a home of the suite's own; the Windows stores are the prefix's.
  static void SetUpTestSuite() {
#ifndef _WIN32
    home_ = std::make_unique<ScratchDir>();
    SetZevireveHome(home_->path());
#endif
  }
  static void TearDownTestSuite() { home_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(ReadTestDirectory(directory_)) << "run this program under tests/ldap/ldap_fixture.py";
    ForgetDirectoryCertificates();
    UseDirectory(kLoopback, directory_.port, directory_.password);
  }
  void TearDown() override { ForgetDirectoryCertificates(); }

  void UseDirectory(const std::string& server, const std::string& port, const std::string& password) {
    settings_.WriteText(key::kDirectoryHost, server);
    settings_.WriteText(key::kDirectoryPort, port);
    settings_.WriteText(key::kDirectoryBindName, directory_.bindName);
    settings_.WriteText(key::kDirectoryPassword, password);
  }

  DirectoryLookup LookUp(const std::string& text, std::vector<std::string> listed = {}) {
    return LookUpDirectoryCertificates(text, settings_, std::move(listed));
  }

  std::optional<CertValues> Search(const std::string& text) {
    CLdapCertSearch search;
    return search.SearchCertificates(kLoopback, std::stoi(directory_.port), directory_.bindName, directory_.password,
                                     kMailAttribute, text, kDirectoryTimeLimitSeconds);
  }

  static std::unique_ptr<ScratchDir> home_;
  TestDirectory directory_;
  ScratchDir scratch_;
  SettingsFile settings_{scratch_.Path("zeVireve.ini")};
};

std::unique_ptr<ScratchDir> DirectoryLookupTest::home_;

TEST_F(DirectoryLookupTest, RefusesTextsItCannotSearchForBeforeConnecting) {
  // A connection to this listener would end only after the connect limit, with another message.
  UseDirectory(kLoopback, directory_.silentPort, directory_.password);
  const std::string longest = std::string(108, 'a') + "@example.com";
  ASSERT_EQ(longest.size(), 120u);
  struct Case {
    const char* what;
    std::string text;
    const char* message;
  } const cases[] = {
      {"empty", "", message::kNoSearchText},
      {"one byte too long for the filter", "a" + longest, message::kSearchTextTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DirectoryLookup lookup = LookUp(c.text);
    ExpectMessage(lookup, c.message);
    EXPECT_EQ(lookup.end, LookupEnd::Failed);
    EXPECT_TRUE(lookup.rows.empty());
  }
  EXPECT_FALSE(RefuseSearchText(longest).has_value()) << "the filter (mail=...) of 120 bytes fills 127";
}

TEST_F(DirectoryLookupTest, DirectoryThatCannotBeUsed) {
  struct Case {
    const char* what;
    std::string server, port, password;
  } const cases[] = {
      {"closed port", kLoopback, directory_.closedPort, directory_.password},
      {"wrong password", kLoopback, directory_.port, "wrong"},
      {"no server named", "", directory_.port, directory_.password},
      {"server that never answers", kLoopback, directory_.silentPort, directory_.password},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseDirectory(c.server, c.port, c.password);
    const DirectoryLookup lookup = LookUp("ann@example.com");
    ExpectMessage(lookup, message::kDirectoryUnusable);
    EXPECT_TRUE(lookup.rows.empty());
    EXPECT_FALSE(InAddressBook("5A0001"));
  }
}

TEST_F(DirectoryLookupTest, AddressWithoutEntryFindsNothing) {
  const DirectoryLookup lookup = LookUp("nobody@example.com");
  ExpectMessage(lookup, message::kNothingFound);
  EXPECT_EQ(lookup.end, LookupEnd::Failed);
  EXPECT_TRUE(lookup.rows.empty());
}

TEST_F(DirectoryLookupTest, TakesTheEncryptionCertificateNotTheSigningOne) {
  const DirectoryLookup lookup = LookUp("ann@example.com");
  ExpectMessage(lookup, message::kLookupSucceeded);
  EXPECT_EQ(lookup.end, LookupEnd::Succeeded);
  ASSERT_EQ(lookup.rows.size(), 1u);
  EXPECT_EQ(lookup.rows[0].subject, "Ann Encryption");
  EXPECT_EQ(lookup.rows[0].issuer, kIssuer);
  EXPECT_EQ(lookup.rows[0].serial, "5A0001");
  EXPECT_TRUE(InAddressBook("5A0001"));
  EXPECT_FALSE(InAddressBook("5A0002")) << "signing only";
  EXPECT_TRUE(FindCertBySerial("5A0001", false).has_value()) << "a recipient of the next run";
}

TEST_F(DirectoryLookupTest, RunsOnAThreadOfItsOwn) {
  // As the dialog runs it, so that its window keeps painting.
  DirectoryLookup lookup;
  std::thread worker([&] { lookup = LookUp("ann@example.com"); });
  worker.join();
  ExpectMessage(lookup, message::kLookupSucceeded);
  EXPECT_EQ(SerialsOf(lookup.rows), std::vector<std::string>{"5A0001"});
  EXPECT_TRUE(InAddressBook("5A0001"));
}

TEST_F(DirectoryLookupTest, SearchingAgainAddsNoRowAndStillSucceeds) {
  const DirectoryLookup first = LookUp("ann@example.com");
  ASSERT_EQ(SerialsOf(first.rows), std::vector<std::string>{"5A0001"});
  for (const std::string& listed : {std::string("5A0001"), std::string("5a0001")}) {
    SCOPED_TRACE(listed);
    const DirectoryLookup again = LookUp("ann@example.com", {listed});
    ExpectMessage(again, message::kLookupSucceeded);
    EXPECT_TRUE(again.rows.empty());
  }
}

TEST_F(DirectoryLookupTest, TrailingAsteriskMatchesSeveralEntriesInDirectoryOrder) {
  const DirectoryLookup all = LookUp("team*");
  ExpectMessage(all, message::kLookupSucceeded);
  EXPECT_EQ(SerialsOf(all.rows), (std::vector<std::string>{"5A0101", "5A0102", "5A0103"}))
      << "key or data encipherment";
  ASSERT_FALSE(all.rows.empty());
  EXPECT_EQ(all.rows[0].subject, "张三");

  // Rows listed already (as the dialog's list holds them) are skipped; the others keep their order.
  const DirectoryLookup rest = LookUp("team*", {"0A1B", "5A0102"});
  EXPECT_EQ(SerialsOf(rest.rows), (std::vector<std::string>{"5A0101", "5A0103"}));
}

TEST_F(DirectoryLookupTest, CertificateOfTwoEntriesGivesOneRow) {
  const DirectoryLookup lookup = LookUp("twin*");
  ExpectMessage(lookup, message::kLookupSucceeded);
  EXPECT_EQ(SerialsOf(lookup.rows), std::vector<std::string>{"5A0301"});
}

TEST_F(DirectoryLookupTest, TakesTheFirst149Values) {
  const std::optional<CertValues> values = Search("bulk@example.com");
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->size(), kMaxCertValues);

  const DirectoryLookup lookup = LookUp("bulk@example.com");
  ExpectMessage(lookup, message::kLookupSucceeded);
  ASSERT_EQ(lookup.rows.size(), kMaxCertValues);
  EXPECT_EQ(lookup.rows.front().serial, "5B0000");
  EXPECT_EQ(lookup.rows.back().serial, "5B0094");
  EXPECT_FALSE(InAddressBook("5B0095"));
}

TEST_F(DirectoryLookupTest, SkipsAValueThatIsNoCertificate) {
  const std::optional<CertValues> values = Search("odd@example.com");
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->size(), 2u);

  const DirectoryLookup lookup = LookUp("odd@example.com");
  ExpectMessage(lookup, message::kLookupSucceeded);
  EXPECT_EQ(SerialsOf(lookup.rows), std::vector<std::string>{"5A0201"});
}

#ifndef _WIN32
TEST_F(DirectoryLookupTest, StopsWithoutMessageWhenTheAddressBookCannotTakeACertificate) {
  // The store folder's place taken by a file: nothing can be written there.
  const std::filesystem::path store = std::filesystem::path(ZevireveHome()) / StoreName(Store::AddressBook);
  std::filesystem::remove_all(store);
  std::filesystem::create_directories(store.parent_path());
  WriteBytes(store.string(), {'x'});
  const DirectoryLookup lookup = LookUp("team*");
  std::filesystem::remove(store);
  EXPECT_EQ(lookup.end, LookupEnd::AddressBookFailed);
  EXPECT_FALSE(lookup.message.has_value());
  EXPECT_EQ(SerialsOf(lookup.rows), std::vector<std::string>{"5A0101"}) << "its row stays, later values are not handled";
}
#endif

TEST(TakeAttributeValuesTest, SkipsUnreadableAttributesAndStopsAt149Values) {
  const std::uint8_t bytes[] = {1, 2, 3};
  const std::vector<ldap::ValueView> hundred(100, ldap::ValueView{bytes, sizeof bytes});
  CertValues list;
  EXPECT_TRUE(TakeAttributeValues(nullptr, list));
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(TakeAttributeValues(&hundred, list));
  EXPECT_FALSE(TakeAttributeValues(&hundred, list));
  EXPECT_EQ(list.size(), kMaxCertValues);
  EXPECT_EQ(list.back(), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace qz::test
