// The encrypted file format, without any cryptography:
//   u32 L | recipient list (L bytes: each serial text followed by "&")
//   | for each recipient: u32 K | key block (K bytes, a SIMPLEBLOB) | ciphertext to the end.
// All integers are 32-bit little-endian. There is no magic number; a reader can only check the
// stored lengths against the size of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

// N serial texts for a list with N "&" bytes; text after the last "&" names no recipient and
// two "&" in a row give an empty serial text.
std::vector<std::string> SplitRecipientList(const std::string& list);

// The same walk without building a vector: a list read from a hostile file may name millions of
// (empty) serials, each of which would cost a string.
std::size_t CountRecipients(std::string_view list);
// Index of the first serial equal to the wanted one without regard to case, or -1.
int FindRecipientIndex(std::string_view list, const std::string& wanted);
template <typename Visit>
void ForEachRecipient(std::string_view list, Visit visit) {
  for (std::size_t start = 0, amp; (amp = list.find('&', start)) != std::string_view::npos; start = amp + 1)
    visit(list.substr(start, amp - start));
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value);
bool WriteU32(FILE* f, std::uint32_t value);

// Reads the list length and the recipient list. A list of N serials needs N key block lengths
// (4 bytes each) after it: the list is first counted in small pieces and checked against what
// is left of the file, so a damaged or hostile header fails before anything is allocated.
// False for a damaged or truncated header.
bool ReadRecipientList(FILE* f, std::uint64_t fileSize, std::string& list);

// Reads `count` key block lengths and blocks, keeping block `keep` (none for kKeepNone) and
// noting each length when asked. Every length is checked against the rest of the file before
// anything is allocated. False for a damaged header.
inline constexpr std::size_t kKeepNone = std::size_t(-1);
bool ReadKeyBlocks(FILE* f, std::uint64_t fileSize, std::size_t count, std::size_t keep,
                   std::vector<std::uint8_t>& keyBlock, std::vector<std::uint32_t>* lengths = nullptr);

// SIMPLEBLOB: BLOBHEADER {SIMPLEBLOB, version 2, 0, CALG_3DES}, ALG_ID CALG_RSA_KEYX, then the
// RSA ciphertext least significant byte first.
inline constexpr std::size_t kSimpleBlobHeaderSize = 12;
std::vector<std::uint8_t> MakeSimpleBlob(const std::vector<std::uint8_t>& rsaCiphertextBigEndian);
// The RSA ciphertext, most significant byte first; false when the header is not a 3DES
// SIMPLEBLOB wrapped with an RSA key exchange key.
bool ParseSimpleBlob(const std::vector<std::uint8_t>& blob, std::vector<std::uint8_t>& rsaCiphertextBigEndian);

}  // namespace qz
