#include "file_format.h"

#include <algorithm>

#include "cert_store.h"
#include "file_io.h"

namespace qz {
namespace {

constexpr std::uint8_t kSimpleBlobPrefix[kSimpleBlobHeaderSize] = {
    0x01, 0x02, 0x00, 0x00,  // SIMPLEBLOB, CUR_BLOB_VERSION, reserved
    0x03, 0x66, 0x00, 0x00,  // CALG_3DES
    0x00, 0xA4, 0x00, 0x00,  // CALG_RSA_KEYX
};

bool ReadU32(FILE* f, std::uint32_t& value) {
  std::uint8_t b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  value = b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t(b[3]) << 24);
  return true;
}

std::uint64_t Remaining(FILE* f, std::uint64_t fileSize) {
  // A position beyond the size (the file changed meanwhile) leaves nothing to read.
  std::uint64_t pos = 0;
  if (!Tell(f, pos) || pos > fileSize) return 0;
  return fileSize - pos;
}

}  // namespace

std::vector<std::string> SplitRecipientList(const std::string& list) {
  std::vector<std::string> serials;
  ForEachRecipient(list, [&](std::string_view serial) { serials.emplace_back(serial); });
  return serials;
}

std::size_t CountRecipients(std::string_view list) { return std::size_t(std::count(list.begin(), list.end(), '&')); }

int FindRecipientIndex(std::string_view list, const std::string& wanted) {
  int index = 0, found = -1;
  ForEachRecipient(list, [&](std::string_view serial) {
    if (found < 0 && SerialTextsEqual(serial, wanted)) found = index;
    ++index;
  });
  return found;
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

bool WriteU32(FILE* f, std::uint32_t value) {
  std::vector<std::uint8_t> b;
  AppendU32(b, value);
  return std::fwrite(b.data(), 1, b.size(), f) == b.size();
}

// Counts the "&" of the next `length` bytes in pieces of a fixed size, then goes back.
bool CountAmpersands(FILE* f, std::uint32_t length, std::uint64_t& count) {
  std::uint64_t start = 0;
  if (!Tell(f, start)) return false;
  char piece[16 * 1024];
  count = 0;
  for (std::uint32_t left = length; left > 0;) {
    const std::size_t n = left < sizeof piece ? left : sizeof piece;
    if (std::fread(piece, 1, n, f) != n) return false;
    count += CountRecipients(std::string_view(piece, n));
    left -= std::uint32_t(n);
  }
  return SeekTo(f, start);
}

bool ReadRecipientList(FILE* f, std::uint64_t fileSize, std::string& list) {
  std::uint32_t length = 0;
  std::uint64_t recipients = 0;
  if (!ReadU32(f, length) || length > Remaining(f, fileSize) || !CountAmpersands(f, length, recipients) ||
      4 * recipients > Remaining(f, fileSize) - length)
    return false;
  list.assign(length, '\0');
  return length == 0 || std::fread(list.data(), 1, length, f) == length;
}

bool ReadKeyBlocks(FILE* f, std::uint64_t fileSize, std::size_t count, std::size_t keep,
                   std::vector<std::uint8_t>& keyBlock, std::vector<std::uint32_t>* lengths) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t length = 0;
    if (!ReadU32(f, length) || length > Remaining(f, fileSize)) return false;
    if (lengths) lengths->push_back(length);
    if (i != keep) {
      if (!SkipBytes(f, length)) return false;
      continue;
    }
    keyBlock.assign(length, 0);
    if (length != 0 && std::fread(keyBlock.data(), 1, length, f) != length) return false;
  }
  return true;
}

std::vector<std::uint8_t> MakeSimpleBlob(const std::vector<std::uint8_t>& rsaCiphertextBigEndian) {
  std::vector<std::uint8_t> blob(kSimpleBlobHeaderSize + rsaCiphertextBigEndian.size());
  std::copy(std::begin(kSimpleBlobPrefix), std::end(kSimpleBlobPrefix), blob.begin());
  std::reverse_copy(rsaCiphertextBigEndian.begin(), rsaCiphertextBigEndian.end(), blob.begin() + kSimpleBlobHeaderSize);
  return blob;
}

bool ParseSimpleBlob(const std::vector<std::uint8_t>& blob, std::vector<std::uint8_t>& rsaCiphertextBigEndian) {
  if (blob.size() <= kSimpleBlobHeaderSize ||
      !std::equal(std::begin(kSimpleBlobPrefix), std::end(kSimpleBlobPrefix), blob.begin()))
    return false;
  rsaCiphertextBigEndian.assign(blob.rbegin(), blob.rend() - kSimpleBlobHeaderSize);
  return true;
}

}  // namespace qz
