// The directory connection through OpenLDAP's libldap.
#include <ldap.h>
#include <sys/time.h>

#include "ldap_client.h"
#include "linux/openssl_certificate.h"

namespace qz::ldap {
namespace {

void Unbind(LDAP* ld) { ldap_unbind_ext_s(ld, nullptr, nullptr); }
void FreeMessage(LDAPMessage* message) { ldap_msgfree(message); }
void FreeValues(berval** values) { ldap_value_free_len(values); }
void FreeText(char* text) { ldap_memfree(text); }
void FreeBer(BerElement* ber) { ber_free(ber, 0); }

using unique_ldap = unique_handle<LDAP*, Unbind>;
using unique_message = unique_handle<LDAPMessage*, FreeMessage>;
using unique_values = unique_handle<berval**, FreeValues>;
using unique_text = unique_handle<char*, FreeText>;
using unique_ber = unique_handle<BerElement*, FreeBer>;

std::string ServerUrl(const std::string& host, int port) {
  const bool ipv6 = host.find(':') != std::string::npos && host.front() != '[';
  return "ldap://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

// False when the reader wants no more.
bool ReadAttributes(LDAP* ld, LDAPMessage* entry, const AttributeReader& read) {
  unique_ber ber;
  for (unique_text name(ldap_first_attribute(ld, entry, ber.put())); name;
       name.reset(ldap_next_attribute(ld, entry, ber.get()))) {
    unique_values values(ldap_get_values_len(ld, entry, name.get()));
    const std::vector<ValueView> views = values ? ViewsOf(values.get()) : std::vector<ValueView>();
    if (!read(values ? &views : nullptr)) return false;
  }
  return true;
}

}  // namespace

struct Connection::Handle {
  unique_ldap ld;
};

Connection::Connection(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
Connection::~Connection() = default;

std::unique_ptr<Connection> Connection::Bind(const std::string& host, int port, const std::string& name,
                                             const std::string& password) {
  auto handle = std::make_unique<Handle>();
  if (ldap_initialize(handle->ld.put(), ServerUrl(host, port).c_str()) != LDAP_SUCCESS || !handle->ld) return nullptr;
  LDAP* ld = handle->ld.get();
  const int version = LDAP_VERSION3;
  const timeval limit{kConnectSeconds, 0};
  // The network limit ends the connecting, the default limit of synchronous calls the bind.
  if (ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version) != LDAP_OPT_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &limit) != LDAP_OPT_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_TIMEOUT, &limit) != LDAP_OPT_SUCCESS)
    return nullptr;
  berval credentials{password.size(), const_cast<char*>(password.data())};
  if (ldap_sasl_bind_s(ld, name.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr) != LDAP_SUCCESS)
    return nullptr;
  return std::unique_ptr<Connection>(new Connection(std::move(handle)));
}

void Connection::Search(const std::string& base, const std::string& filter, const char* attribute,
                        int timeLimitSeconds, const AttributeReader& read) const {
  LDAP* ld = handle_->ld.get();
  char* attributes[] = {const_cast<char*>(attribute), nullptr};
  timeval limit{timeLimitSeconds, 0};
  unique_message result;
  // Its code tells nothing the entries do not: a failed search has none.
  ldap_search_ext_s(ld, base.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(), attributes, 0, nullptr, nullptr, &limit,
                    LDAP_NO_LIMIT, result.put());
  if (!result) return;
  for (LDAPMessage* entry = ldap_first_entry(ld, result.get()); entry; entry = ldap_next_entry(ld, entry))
    if (!ReadAttributes(ld, entry, read)) return;
}

std::optional<Certificate> DecodeCertificate(const std::vector<std::uint8_t>& der) {
  const unsigned char* p = der.data();
  unique_x509 x509(d2i_X509(nullptr, &p, long(der.size())));
  if (!x509) return std::nullopt;
  return Certificate(std::make_unique<Certificate::Native>(Certificate::Native{std::move(x509), {}}));
}

}  // namespace qz::ldap
