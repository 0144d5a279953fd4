// Known answers of the session key scheme, the same on both platforms: the key derived from a
// random text must agree, or files would not travel between them.
#include <gtest/gtest.h>

#include <cstdio>

#include "crypto_backend.h"

namespace qz::test {
namespace {

std::string Hex(const std::uint8_t* data, std::size_t len) {
  std::string hex;
  char digits[3];
  for (std::size_t i = 0; i < len; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", data[i]);
    hex += digits;
  }
  return hex;
}

std::optional<SessionKey> DeriveFrom(const std::string& text) { return DeriveSessionKey(text).key; }

// Encrypts `content` in chunks of `chunk` bytes (the last one final).
std::string EncryptInChunks(const std::string& text, const std::string& content, std::size_t chunk) {
  auto key = DeriveFrom(text);
  if (!key) return "no key";
  std::string out;
  for (std::size_t pos = 0;; pos += chunk) {
    const bool final = pos + chunk >= content.size() + (content.size() % chunk == 0 ? 1 : 0);
    std::vector<std::uint8_t> buf(chunk + 8);
    std::size_t n = std::min(chunk, content.size() - std::min(pos, content.size()));
    std::copy(content.begin() + pos, content.begin() + pos + n, buf.begin());
    if (!key->EncryptChunk(buf.data(), n, final)) return "encrypt failed";
    out += Hex(buf.data(), n);
    if (final) return out;
  }
}

TEST(SessionKeyTest, KnownAnswersOfDerivationAndEncryption) {
  struct Case {
    const char* randomText;
    const char* content;
    const char* ciphertext;
  } cases[] = {
      {"abc", "hello wo", "2216a56c38c57c3f061ef69a1b613e7a"},  // as CryptoAPI under Wine gives it
      {"abc", "", "f53bd810e06b049c"},
      {"ZaDizuvOzarKnownAnswer", "The quick brown fox jumps over the lazy dog",
       "3a82e4e0f267ff17ecc87b530bea58cbadf1d8df0f6c6f7bcfa608ea199a0f976a723f005031534274de42f0874535d5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.randomText + std::string(" / ") + c.content);
    EXPECT_EQ(EncryptInChunks(c.randomText, c.content, 1 << 16), c.ciphertext);
  }
}

TEST(SessionKeyTest, ChunkSizesLeaveNoTraceInTheCiphertext) {
  std::string content(1000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = char(i * 7);
  const std::string single = EncryptInChunks("chunks", content, 1 << 16);
  ASSERT_EQ(single.size(), 2 * 1008u);  // hex of the 1008 ciphertext bytes
  for (std::size_t chunk : {8, 64, 1000, 1008}) EXPECT_EQ(EncryptInChunks("chunks", content, chunk), single) << chunk;
}

TEST(SessionKeyTest, DecryptionChecksPadding) {
  struct Case {
    std::vector<std::uint8_t> block;  // the plain block before encryption
    bool valid;
    std::size_t plainLength;
  } cases[] = {
      {{1, 2, 3, 4, 5, 6, 7, 1}, true, 7},
      {{8, 8, 8, 8, 8, 8, 8, 8}, true, 0},
      {{1, 2, 3, 4, 5, 6, 7, 0}, false, 0},
      {{1, 2, 3, 4, 5, 6, 7, 9}, false, 0},
      {{1, 2, 3, 4, 5, 6, 3, 2}, false, 0},
  };
  for (const auto& c : cases) {
    // Encrypt the raw block as a non-final chunk, then decrypt it as the final one.
    auto enc = DeriveFrom("padding"), dec = DeriveFrom("padding");
    ASSERT_TRUE(enc && dec);
    auto buf = c.block;
    std::size_t n = buf.size();
    ASSERT_TRUE(enc->EncryptChunk(buf.data(), n, false));
    EXPECT_EQ(dec->DecryptChunk(buf.data(), n, true), c.valid);
    if (c.valid) {
      EXPECT_EQ(n, c.plainLength);
    }
  }
}

}  // namespace
}  // namespace qz::test
