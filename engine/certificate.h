// Certificates of the user's two stores: "MY" (own certificates, with private keys) and
// "ADDRESSBOOK" (other people's). Each platform backend supplies the native handle and the
// few facts the engine and the dialogs read off a certificate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qz {

enum class Store { My, AddressBook };
const char* StoreName(Store store);

class Certificate {
 public:
  struct Native;  // the platform's certificate handle
  explicit Certificate(std::unique_ptr<Native> native);
  Certificate(Certificate&&) noexcept;
  Certificate& operator=(Certificate&&) noexcept;
  ~Certificate();
  Native& native() const { return *native_; }

 private:
  std::unique_ptr<Native> native_;
};

// The serial number's bytes as the certificate API holds them: least significant first,
// a leading 00 sign byte of the DER integer kept.
std::vector<std::uint8_t> SerialNumberLsbFirst(const Certificate& cert);

// Common name, else organisational unit, else organisation, else e-mail.
std::string SubjectSimpleName(const Certificate& cert);
std::string IssuerSimpleName(const Certificate& cert);

// First byte of the key-usage bits (0x20 key encipherment, 0x80 digital signature), 0 without
// the extension.
std::uint8_t KeyUsageByte(const Certificate& cert);

// The certificates of a store in enumeration order (the order they were added); an empty list
// when the store cannot be opened.
std::vector<Certificate> ReadStore(Store store);

struct ImportResult {
  bool ok = false;
  Store store = Store::My;  // where it went: "MY" with a private key, else "ADDRESSBOOK"
  std::string serialText;
  std::string error;  // for the user, when !ok
};

// Imports a PKCS#12 (.p12/.pfx) or PEM/DER file into the store it belongs in. A certificate
// that is there already is replaced, so importing twice keeps one copy.
ImportResult ImportCertificateFile(const std::string& path, const std::string& password);

// Adds a DER certificate to "ADDRESSBOOK" (the directory lookup adds other people's there).
bool AddToAddressBook(const std::vector<std::uint8_t>& der);

// Removes a certificate of the serial text from a store; false when none was there.
bool RemoveFromStore(Store store, const std::string& serialText);

}  // namespace qz
