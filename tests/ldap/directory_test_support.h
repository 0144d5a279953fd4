// The test directory that ldap_fixture.py starts, as its environment names it, and the removal
// of the certificates a lookup of it adds to "ADDRESSBOOK".
#pragma once

#include <string>

namespace qz::test {

struct TestDirectory {
  std::string port;
  std::string bindName;
  std::string password;
  std::string closedPort;  // nothing listens there
  std::string silentPort;  // accepts, never answers
};

// Nothing when the program does not run under the fixture.
bool ReadTestDirectory(TestDirectory& directory);

// Every certificate of the test directory (serials 5Axxxx and 5Bxxxx) out of "ADDRESSBOOK", so
// that each lookup starts from a store without them; the Windows store outlives the test run.
void ForgetDirectoryCertificates();

}  // namespace qz::test
