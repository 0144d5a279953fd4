// Serial text of certificates and their lookup in the user's stores.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "certificate.h"

namespace qz {

// Upper-case hexadecimal, two digits per byte, most significant byte first, no stripping of a
// leading 00. A serial longer than 63 bytes (beyond what any store holds) gives an empty text,
// which matches nothing.
std::string CertSerialToText(const Certificate& cert);

// Serial texts compare without regard to letter case; an empty text matches nothing.
bool SerialTextsEqual(std::string_view a, std::string_view b);

// "MY" first, then "ADDRESSBOOK" unless myStoreOnly; the first match in enumeration order.
std::optional<Certificate> FindCertBySerial(const std::string& serialText, bool myStoreOnly);
std::optional<Certificate> FindMyCertBySerial(const std::string& serialText);

}  // namespace qz
