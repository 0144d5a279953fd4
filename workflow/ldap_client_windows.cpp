// The directory connection through the platform's LDAP client, wldap32.
#include <windows.h>
#include <winldap.h>
#include <winber.h>

#include "ldap_client.h"
#include "windows/capi_handles.h"

namespace qz::ldap {
namespace {

void Unbind(LDAP* ld) { ldap_unbind(ld); }
void FreeMessage(LDAPMessage* message) { ldap_msgfree(message); }
void FreeValues(berval** values) { ldap_value_free_len(values); }
void FreeText(char* text) { ldap_memfreeA(text); }
void FreeBer(BerElement* ber) { ber_free(ber, 0); }

using unique_ldap = unique_handle<LDAP*, Unbind>;
using unique_message = unique_handle<LDAPMessage*, FreeMessage>;
using unique_values = unique_handle<berval**, FreeValues>;
using unique_text = unique_handle<char*, FreeText>;
using unique_ber = unique_handle<BerElement*, FreeBer>;

char* Text(const std::string& text) { return const_cast<char*>(text.c_str()); }

// ldap_bind_s waits for ever: the bind is sent on its own and its answer awaited within the
// limit. (ldap_connect's limit covers the connecting only, and Wine ignores it.)
bool BindWithin(LDAP* ld, const std::string& name, const std::string& password, l_timeval limit) {
  const ULONG id = ldap_simple_bindA(ld, Text(name), Text(password));
  if (id == ULONG(-1)) return false;
  unique_message answer;
  const ULONG got = ldap_result(ld, id, LDAP_MSG_ALL, &limit, answer.put());
  if (got == 0 || got == ULONG(-1)) {
    ldap_abandon(ld, id);
    return false;
  }
  return ldap_result2error(ld, answer.get(), FALSE) == LDAP_SUCCESS;
}

// False when the reader wants no more.
bool ReadAttributes(LDAP* ld, LDAPMessage* entry, const AttributeReader& read) {
  unique_ber ber;
  for (unique_text name(ldap_first_attributeA(ld, entry, ber.put())); name;
       name.reset(ldap_next_attributeA(ld, entry, ber.get()))) {
    unique_values values(ldap_get_values_lenA(ld, entry, name.get()));
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
  handle->ld.reset(ldap_initA(Text(host), ULONG(port)));
  LDAP* ld = handle->ld.get();
  if (!ld) return nullptr;
  ULONG version = LDAP_VERSION3;
  l_timeval limit{kConnectSeconds, 0};
  if (ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version) != LDAP_SUCCESS ||
      ldap_connect(ld, &limit) != LDAP_SUCCESS || !BindWithin(ld, name, password, limit))
    return nullptr;
  return std::unique_ptr<Connection>(new Connection(std::move(handle)));
}

void Connection::Search(const std::string& base, const std::string& filter, const char* attribute,
                        int timeLimitSeconds, const AttributeReader& read) const {
  LDAP* ld = handle_->ld.get();
  char* attributes[] = {const_cast<char*>(attribute), nullptr};
  l_timeval limit{timeLimitSeconds, 0};
  unique_message result;
  // Its code tells nothing the entries do not: a failed search has none.
  ldap_search_stA(ld, Text(base), LDAP_SCOPE_SUBTREE, Text(filter), attributes, 0, &limit, result.put());
  if (!result) return;
  for (LDAPMessage* entry = ldap_first_entry(ld, result.get()); entry; entry = ldap_next_entry(ld, entry))
    if (!ReadAttributes(ld, entry, read)) return;
}

std::optional<Certificate> DecodeCertificate(const std::vector<std::uint8_t>& der) {
  PCCERT_CONTEXT context = CertCreateCertificateContext(kCertEncoding, der.data(), DWORD(der.size()));
  if (!context) return std::nullopt;
  return MakeCertificate(context);
}

}  // namespace qz::ldap
