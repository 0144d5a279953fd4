#include "directory_lookup.h"

#include "cert_store.h"
#include "run_messages.h"

namespace qz {
namespace {

// CERT_DATA_ENCIPHERMENT_KEY_USAGE | CERT_KEY_ENCIPHERMENT_KEY_USAGE
constexpr std::uint8_t kEnciphermentUsages = 0x10 | 0x20;

RunMessage Information(const char* text) { return {text, caption::kInformation, MessageIcon::Information}; }

DirectoryLookup Ended(LookupEnd end, std::vector<DirectoryRow> rows, std::optional<RunMessage> message) {
  return {end, std::move(rows), message};
}

struct DirectorySettings {
  std::string server;
  int port;
  std::string bindName;
  std::string password;
};

DirectorySettings ReadDirectorySettings(const SettingsFile& settings) {
  DirectorySettings directory;
  directory.server = settings.ReadText(key::kDirectoryHost);
  directory.port = settings.ReadInt(key::kDirectoryPort);
  directory.bindName = settings.ReadText(key::kDirectoryBindName);
  directory.password = settings.ReadText(key::kDirectoryPassword);
  return directory;
}

// The row of a value that is a certificate able to encrypt and not listed yet; nothing for any
// other value.
std::optional<DirectoryRow> NewRow(const std::vector<std::uint8_t>& value, const std::vector<std::string>& listed) {
  const std::optional<Certificate> cert = ldap::DecodeCertificate(value);
  if (!cert || !(KeyUsageByte(*cert) & kEnciphermentUsages)) return std::nullopt;
  std::string serial = CertSerialToText(*cert);
  // A serial too long for its text cannot be named as a recipient.
  if (serial.empty() || IsSerialListed(listed, serial)) return std::nullopt;
  return DirectoryRow{SubjectSimpleName(*cert), IssuerSimpleName(*cert), std::move(serial)};
}

// Lists and adds the new certificates among the values; false when one could not be added, which
// ends the handling. The rows so far stay when it throws.
bool TakeCertificates(const CertValues& values, std::vector<std::string>& listed, std::vector<DirectoryRow>& rows) {
  for (const auto& value : values) {
    std::optional<DirectoryRow> row = NewRow(value, listed);
    if (!row) continue;
    listed.push_back(row->serial);
    rows.push_back(std::move(*row));
    if (!AddToAddressBook(value)) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> BuildFilter(const std::string& attribute, const std::string& value) {
  std::string filter = "(" + attribute + "=" + value + ")";
  if (filter.size() >= kFilterBufferSize) return std::nullopt;
  return filter;
}

bool TakeAttributeValues(const std::vector<ldap::ValueView>* values, CertValues& list) {
  if (values) {
    for (const ldap::ValueView& value : *values) {
      if (list.size() >= kMaxCertValues) break;
      list.emplace_back(value.data, value.data + value.size);
    }
  }
  return list.size() < kMaxCertValues;
}

std::optional<CertValues> CLdapCertSearch::SearchCertificates(const std::string& server, int port,
                                                              const std::string& bindName, const std::string& password,
                                                              const std::string& attribute, const std::string& value,
                                                              int timeLimitSeconds) {
  const std::optional<std::string> filter = BuildFilter(attribute, value);
  // No server named would reach whatever the library takes as its default.
  if (!filter || server.empty()) return std::nullopt;
  m_connection = ldap::Connection::Bind(server, port, bindName, password);
  if (!m_connection) return std::nullopt;
  CertValues values;
  m_connection->Search(bindName, *filter, kCertificateAttribute, timeLimitSeconds,
                       [&values](const std::vector<ldap::ValueView>* attributeValues) {
                         return TakeAttributeValues(attributeValues, values);
                       });
  return values;
}

bool IsSerialListed(const std::vector<std::string>& listedSerials, const std::string& serialText) {
  for (const std::string& listed : listedSerials)
    if (SerialTextsEqual(listed, serialText)) return true;
  return false;
}

std::optional<RunMessage> RefuseSearchText(const std::string& searchText) {
  if (searchText.empty()) return Information(message::kNoSearchText);
  if (!BuildFilter(kMailAttribute, searchText)) return Information(message::kSearchTextTooLong);
  return std::nullopt;
}

DirectoryLookup LookUpDirectoryCertificates(const std::string& searchText, const SettingsFile& settings,
                                            std::vector<std::string> listedSerials) {
  if (auto refusal = RefuseSearchText(searchText)) return Ended(LookupEnd::Failed, {}, refusal);
  std::vector<DirectoryRow> rows;
  try {
    const DirectorySettings directory = ReadDirectorySettings(settings);
    CLdapCertSearch search;
    const std::optional<CertValues> values =
        search.SearchCertificates(directory.server, directory.port, directory.bindName, directory.password,
                                  kMailAttribute, searchText, kDirectoryTimeLimitSeconds);
    if (!values) return Ended(LookupEnd::Failed, {}, Information(message::kDirectoryUnusable));
    if (values->empty()) return Ended(LookupEnd::Failed, {}, Information(message::kNothingFound));
    if (!TakeCertificates(*values, listedSerials, rows))
      return Ended(LookupEnd::AddressBookFailed, std::move(rows), std::nullopt);
    return Ended(LookupEnd::Succeeded, std::move(rows), Information(message::kLookupSucceeded));
  } catch (...) {
    // Out of memory, say: what was listed and added stays.
    return Ended(LookupEnd::Failed, std::move(rows), Information(message::kLookupException));
  }
}

void ShowLookupMessage(const DirectoryLookup& lookup, MessageSink& sink) {
  if (lookup.message) sink.Show(lookup.message->text, lookup.message->caption, lookup.message->icon);
}

}  // namespace qz
