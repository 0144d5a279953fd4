#include "directory_test_support.h"

#include <cstdlib>

#include "cert_store.h"

namespace qz::test {
namespace {

bool ReadVariable(const char* name, std::string& value) {
  const char* text = std::getenv(name);
  if (!text || !*text) return false;
  value = text;
  return true;
}

bool IsDirectorySerial(const std::string& serial) {
  return serial.size() == 6 && (serial.compare(0, 2, "5A") == 0 || serial.compare(0, 2, "5B") == 0);
}

}  // namespace

bool ReadTestDirectory(TestDirectory& directory) {
  return ReadVariable("QZ_LDAP_PORT", directory.port) && ReadVariable("QZ_LDAP_BIND_DN", directory.bindName) &&
         ReadVariable("QZ_LDAP_PASSWORD", directory.password) &&
         ReadVariable("QZ_LDAP_CLOSED_PORT", directory.closedPort) &&
         ReadVariable("QZ_LDAP_SILENT_PORT", directory.silentPort);
}

void ForgetDirectoryCertificates() {
  for (const Certificate& cert : ReadStore(Store::AddressBook)) {
    const std::string serial = CertSerialToText(cert);
    if (IsDirectorySerial(serial)) RemoveFromStore(Store::AddressBook, serial);
  }
}

}  // namespace qz::test
