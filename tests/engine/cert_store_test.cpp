// Serial texts and certificate lookups in the user's stores.
#include <gtest/gtest.h>

#include "cert_store.h"
#include "crypto_backend.h"
#include "test_support.h"

namespace qz::test {
namespace {

// The private key of the certificate opens: unwrapping fails only at the block itself.
bool HasItsPrivateKey(const Certificate& cert) { return UnwrapSessionKey(cert, {}).failed == CryptoStep::kImportKey; }

class CertStoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallTestCertificates(); }
};

TEST_F(CertStoreTest, ListsSerialNamesAndKeyUsage) {
  struct Case {
    const char* serial;
    Store store;
    const char* name;
    std::uint8_t keyUsage;
  } cases[] = {
      {kAlice1024, Store::My, "Alice 1024", 0x20},
      {kBob2048, Store::My, "Bob 2048", 0xA0},  // 0x80AB: the sign byte 00 is kept
      {kCarol2048, Store::AddressBook, "Carol 2048", 0x20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serial);
    int found = 0;
    for (const Certificate& cert : ReadStore(c.store)) {
      if (CertSerialToText(cert) != c.serial) continue;
      ++found;
      EXPECT_EQ(SubjectSimpleName(cert), c.name);
      EXPECT_EQ(IssuerSimpleName(cert), c.name);
      EXPECT_EQ(KeyUsageByte(cert), c.keyUsage);
    }
    EXPECT_EQ(found, 1) << "importing again must replace, not add";
  }
}

TEST_F(CertStoreTest, FindsBySerialTextInTheStoresAllowed) {
  struct Case {
    const char* serial;
    bool myStoreOnly;
    const char* name;  // nullptr: not found
  } cases[] = {
      {"0A1B", false, "Alice 1024"},     {"0a1b", true, "Alice 1024"},   {"0080ab", true, "Bob 2048"},
      {"80AB", false, nullptr},          {"3C2B1A", false, "Carol 2048"}, {"3c2b1a", true, nullptr},
      {"", false, nullptr},              {"FFFF", false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.serial) + (c.myStoreOnly ? " in MY" : " in both"));
    auto cert = c.myStoreOnly ? FindMyCertBySerial(c.serial) : FindCertBySerial(c.serial, false);
    ASSERT_EQ(cert.has_value(), c.name != nullptr);
    if (cert) {
      EXPECT_EQ(SubjectSimpleName(*cert), c.name);
    }
  }
}

TEST_F(CertStoreTest, ACertificateInBothStoresComesFromMy) {
  ImportResult result = ImportCertificateFile(DataPath("certs/alice1024.crt"), "");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.store, Store::AddressBook);
  auto cert = FindCertBySerial(kAlice1024, false);
  ASSERT_TRUE(cert);
  EXPECT_TRUE(HasItsPrivateKey(*cert));  // the copy with the private key
  EXPECT_TRUE(RemoveFromStore(Store::AddressBook, kAlice1024));
}

#ifndef _WIN32
// A PEM file whose private key is encrypted: the key opens with the password, or the import fails
// and files nothing; the certificate never goes in without its key.
TEST_F(CertStoreTest, EncryptedPemKeyNeedsItsPassword) {
  ASSERT_TRUE(RemoveFromStore(Store::My, kAlice1024));
  struct Case {
    const char* password;
    const char* error;  // nullptr: imported into MY
  } cases[] = {
      {"", "encrypted"},
      {"tset", "encrypted"},
      {"test", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.password);
    const ImportResult result = ImportCertificateFile(DataPath("certs/alice1024-encrypted.pem"), c.password);
    EXPECT_EQ(result.ok, c.error == nullptr) << result.error;
    if (c.error) {
      EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
      EXPECT_FALSE(FindCertBySerial(kAlice1024, false).has_value()) << "filed without its key";
    }
  }
  auto cert = FindMyCertBySerial(kAlice1024);
  ASSERT_TRUE(cert);
  EXPECT_TRUE(HasItsPrivateKey(*cert));
}
#endif

}  // namespace
}  // namespace qz::test
