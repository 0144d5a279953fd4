#include "cert_store.h"

#include <cctype>
#include <cstdio>

namespace qz {
namespace {

// What the 128-byte serial buffer of the dialogs holds: 63 bytes, 126 digits and a NUL.
constexpr std::size_t kMaxSerialBytes = 63;

std::optional<Certificate> FindInStore(Store store, const std::string& serialText) {
  for (Certificate& cert : ReadStore(store))
    if (SerialTextsEqual(CertSerialToText(cert), serialText)) return std::move(cert);
  return std::nullopt;
}

}  // namespace

const char* StoreName(Store store) { return store == Store::My ? "MY" : "ADDRESSBOOK"; }

std::string CertSerialToText(const Certificate& cert) {
  const auto bytes = SerialNumberLsbFirst(cert);
  if (bytes.size() > kMaxSerialBytes) return std::string();
  std::string text;
  for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", *it);
    text += digits;
  }
  return text;
}

bool SerialTextsEqual(std::string_view a, std::string_view b) {
  if (a.empty() || a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::optional<Certificate> FindCertBySerial(const std::string& serialText, bool myStoreOnly) {
  if (auto cert = FindInStore(Store::My, serialText)) return cert;
  if (myStoreOnly) return std::nullopt;
  return FindInStore(Store::AddressBook, serialText);
}

std::optional<Certificate> FindMyCertBySerial(const std::string& serialText) {
  return FindCertBySerial(serialText, true);
}

}  // namespace qz
