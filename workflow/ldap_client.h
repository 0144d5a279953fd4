// The platform part of the directory lookup: one connection to an LDAP server (wldap32 on
// Windows, OpenLDAP's libldap elsewhere) and the decoding of the values it returns. What is done
// with them, the filter, the limits and the messages, is the shared directory_lookup's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "certificate.h"

namespace qz::ldap {

// Opening the connection and binding each end within this; the platform's own defaults wait
// for ever on a server that accepts the connection and never answers.
inline constexpr int kConnectSeconds = 10;

// One value of an attribute, as the library holds it; valid during the reader's call only.
struct ValueView {
  const std::uint8_t* data;
  std::size_t size;
};

// Called for each attribute of each entry, in the order the server sent them: the attribute's
// values, or null when they cannot be read. Returns false to read no further.
using AttributeReader = std::function<bool(const std::vector<ValueView>* values)>;

// The null-terminated value array of either library (both name the fields bv_len and bv_val).
template <typename Berval>
std::vector<ValueView> ViewsOf(Berval** values) {
  std::vector<ValueView> views;
  for (Berval** value = values; *value; ++value)
    views.push_back({reinterpret_cast<const std::uint8_t*>((*value)->bv_val), std::size_t((*value)->bv_len)});
  return views;
}

class Connection {
 public:
  // Protocol version 3 and a simple bind with the name and the password. Null when no
  // connection can be opened or the bind does not succeed.
  static std::unique_ptr<Connection> Bind(const std::string& host, int port, const std::string& name,
                                          const std::string& password);
  ~Connection();  // unbinds
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // A subtree search below the base for the filter, asking for the one attribute, ended by the
  // time limit. A search that fails or runs out of time hands over no entry, or the entries it
  // received before.
  void Search(const std::string& base, const std::string& filter, const char* attribute, int timeLimitSeconds,
              const AttributeReader& read) const;

  struct Handle;  // the library's connection

 private:
  explicit Connection(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

// A directory value as a certificate (DER); nothing when it does not decode as one.
std::optional<Certificate> DecodeCertificate(const std::vector<std::uint8_t>& der);

}  // namespace qz::ldap
