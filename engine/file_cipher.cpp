#include "file_cipher.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "cert_store.h"
#include "crypto_backend.h"
#include "file_format.h"
#include "file_io.h"

namespace qz {
namespace {

// The content streams through a buffer of this size; it leaves no trace in the file, so it is
// chosen by measurement alone (bench/): below 64 KiB the system calls show in the speed, above
// it only the memory grows.
constexpr std::size_t kChunkSize = 64 * 1024;
constexpr std::size_t kCipherBlock = 8;

// 32 letters of 52 carry 182 bits, more than the 128 of the MD5 digest they are hashed into.
constexpr std::size_t kRandomTextLength = 32;

struct Failure {
  int code;
  const char* text;
};

// The code and text of the step of a cryptographic operation that failed.
Failure FailureOf(CryptoStep step) {
  switch (step) {
    case CryptoStep::kNone:
    case CryptoStep::kAcquireProvider: return {kAcquireProviderFailed, text::kAcquireProvider};
    case CryptoStep::kCreateDigest: return {kCreateHashFailed, text::kCreateHash};
    case CryptoStep::kHashText: return {kHashDataFailed, text::kHashData};
    case CryptoStep::kDeriveKey: return {kDeriveKeyFailed, text::kDeriveKey};
    case CryptoStep::kKeyBlockLength: return {kRecipientNotFound, text::kKeyBlockLength};
    case CryptoStep::kImportPublicKey:
    case CryptoStep::kExportKey: return {kExportKeyFailed, text::kExportKey};
    case CryptoStep::kAcquirePrivateKey: return {kAcquirePrivateKeyFailed, text::kAcquirePrivateKey};
    case CryptoStep::kGetUserKey: return {kGetUserKeyFailed, text::kGetUserKey};
    case CryptoStep::kImportKey: return {kUnwrapKeyFailed, text::kUnwrapKey};
  }
  return {kAcquireProviderFailed, text::kAcquireProvider};
}

// The store lookups keep what they parsed in a cache of their own, and the first acquisition of
// the provider creates its key container: the workers of a folder run take turns at them.
std::mutex g_lookupTurn;

template <typename Lookup>
auto InTurn(Lookup lookup) {
  std::lock_guard<std::mutex> lock(g_lookupTurn);
  return lookup();
}

SessionKeyResult DeriveSessionKeyInTurn(const std::string& text) {
  // Once the container exists, acquisitions at the same time are harmless.
  static std::atomic<bool> containerMade{false};
  if (containerMade) return DeriveSessionKey(text);
  SessionKeyResult derived = InTurn([&] { return DeriveSessionKey(text); });
  if (derived.key) containerMade = true;
  return derived;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool WriteAll(FILE* f, const void* data, std::size_t len) {
  return len == 0 || std::fwrite(data, 1, len, f) == len;
}

}  // namespace

CFileCipher::CFileCipher(Lookups lookups) : m_lookups(lookups) { m_failureText[0] = '\0'; }

const Certificate* CFileCipher::FindCertificate(const std::string& serialText, bool myStoreOnly) {
  const auto key = std::make_pair(UpperCase(serialText), myStoreOnly);
  auto found = m_found.find(key);
  if (found == m_found.end())
    found = m_found.emplace(key, InTurn([&] { return FindCertBySerial(serialText, myStoreOnly); })).first;
  return found->second ? &*found->second : nullptr;
}

int CFileCipher::Fail(int code, const char* text) {
  std::snprintf(m_failureText, sizeof m_failureText, "%s", text);
  return code;
}

std::string CFileCipher::MakeRandomText() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string text;
  while (text.size() < kRandomTextLength) {
    std::uint8_t bytes[64];
    if (!RandomBytes(bytes, sizeof bytes)) return std::string();
    for (std::uint8_t b : bytes) {
      // 208 = 4 × 52: rejecting the rest keeps every letter equally likely.
      if (b < 208 && text.size() < kRandomTextLength) text += kLetters[b % 52];
    }
  }
  return text;
}

int CFileCipher::EncryptOneFile(std::string sourcePath, std::string targetPath, std::string recipientList) {
  PendingFile target(targetPath);
  const int result = EncryptOneFile(sourcePath, target, recipientList, ChunkHook());
  return result == kSuccess ? CommitEncrypted(target) : result;
}

int CFileCipher::CommitEncrypted(PendingFile& target) {
  return target.Commit() ? kSuccess : Fail(kCiphertextWriteFailed, text::kCiphertextWrite);
}

int CFileCipher::EncryptOneFile(std::string sourcePath, PendingFile& target, std::string recipientList,
                                const ChunkHook& onChunk) {
  if (m_lookups == Lookups::PerCall) m_found.clear();
  try {
    return Encrypt(sourcePath, target, recipientList, onChunk);
  } catch (...) {
    // Running out of memory, the only exception here, is a failure of the encryption.
    return Fail(kEncryptChunkFailed, text::kEncryptChunk);
  }
}

int CFileCipher::Encrypt(const std::string& sourcePath, PendingFile& target, const std::string& recipientList,
                         const ChunkHook& onChunk) {
  const std::string randomText = MakeRandomText();
  unique_file source = OpenFile(sourcePath, "rb");
  if (!source) return Fail(kOpenSourceFailed, text::kOpenSource);
  if (!target.Open()) return Fail(kCreateTargetFailed, text::kCreateTarget);

  if (randomText.empty()) return Fail(kAcquireProviderFailed, text::kAcquireProvider);
  SessionKeyResult derived = DeriveSessionKeyInTurn(randomText);
  if (!derived.key) {
    const Failure failure = FailureOf(derived.failed);
    return Fail(failure.code, failure.text);
  }
  SessionKey& sessionKey = *derived.key;

  // The session key exists before the content is read, so the header goes first and the
  // ciphertext streams after it: memory does not grow with the file.
  FILE* out = target.get();
  WriteU32(out, std::uint32_t(recipientList.size()));
  WriteAll(out, recipientList.data(), recipientList.size());
  if (std::ferror(out)) return Fail(kHeaderWriteFailed, text::kHeaderWrite);

  for (const std::string& serial : SplitRecipientList(recipientList)) {
    const Certificate* cert = FindCertificate(serial, false);
    if (!cert) return Fail(kRecipientNotFound, text::kRecipientNotFound);
    // A key that cannot be wrapped fails the call: a file must hold one block per serial.
    std::vector<std::uint8_t> keyBlock;
    if (const CryptoStep step = WrapSessionKey(sessionKey, *cert, keyBlock); step != CryptoStep::kNone) {
      const Failure failure = FailureOf(step);
      return Fail(failure.code, failure.text);
    }
    if (!WriteU32(out, std::uint32_t(keyBlock.size())))
      return Fail(kKeyBlockWriteFailed, text::kKeyBlockLengthWrite);
    if (!WriteAll(out, keyBlock.data(), keyBlock.size()))
      return Fail(kKeyBlockWriteFailed, text::kKeyBlockWrite);
  }

  std::vector<std::uint8_t> chunk(kChunkSize + kCipherBlock);
  std::uint64_t bytesRead = 0;
  for (bool final = false; !final;) {
    std::size_t n = std::fread(chunk.data(), 1, kChunkSize, source.get());
    if (std::ferror(source.get())) return Fail(kReadSourceFailed, text::kReadSource);
    bytesRead += n;
    // A short read is the end of the stream; a source whose length is a multiple of the chunk
    // ends with an empty final chunk, which becomes the padding block.
    final = n < kChunkSize;
    if (!sessionKey.EncryptChunk(chunk.data(), n, final)) return Fail(kEncryptChunkFailed, text::kEncryptChunk);
    if (!WriteAll(out, chunk.data(), n)) return Fail(kCiphertextWriteFailed, text::kCiphertextWrite);
    if (onChunk && !onChunk(bytesRead)) return kStopped;
  }
  if (!target.Finish()) return Fail(kCiphertextWriteFailed, text::kCiphertextWrite);
  return kSuccess;
}

int CFileCipher::DecryptOneFile(std::string encryptedPath, std::string plainPath, std::string serialText) {
  PendingFile plain(plainPath);
  const int result = DecryptOneFile(encryptedPath, plain, serialText, ChunkHook());
  return result == kSuccess ? CommitDecrypted(plain) : result;
}

int CFileCipher::CommitDecrypted(PendingFile& plain) {
  return plain.Commit() ? kSuccess : Fail(kWritePlainFailed, text::kWritePlain);
}

int CFileCipher::DecryptOneFile(std::string encryptedPath, PendingFile& plain, std::string serialText,
                                const ChunkHook& onChunk) {
  if (m_lookups == Lookups::PerCall) m_found.clear();
  unique_file encrypted = OpenFile(encryptedPath, "rb");
  if (!encrypted) return Fail(kOpenEncryptedFailed, text::kOpenEncrypted);
  FILE* in = encrypted.get();

  std::vector<std::uint8_t> keyBlock;
  std::uint64_t fileSize = 0;
  try {
    std::string list;
    if (!FileSize(in, fileSize) || !ReadRecipientList(in, fileSize, list))
      return Fail(kReadHeaderFailed, text::kReadHeader);
    const int entry = FindRecipientIndex(list, serialText);
    if (entry < 0) return Fail(kNotARecipient, text::kNotARecipient);
    if (!ReadKeyBlocks(in, fileSize, CountRecipients(list), std::size_t(entry), keyBlock))
      return Fail(kReadHeaderFailed, text::kReadHeader);
  } catch (...) {
    return Fail(kCertificateMissing, text::kReadHeader);
  }

  try {
    const Certificate* cert = FindCertificate(serialText, true);
    if (!cert) return Fail(kCertificateMissing, text::kCertificateMissing);
    SessionKeyResult unwrapped = UnwrapSessionKey(*cert, keyBlock);
    if (!unwrapped.key) {
      const Failure failure = FailureOf(unwrapped.failed);
      return Fail(failure.code, failure.text);
    }
    SessionKey& sessionKey = *unwrapped.key;

    // Created only once the session key is known, so a wrong certificate leaves no file.
    if (!plain.Open()) return Fail(kCreatePlainFailed, text::kCreatePlain);

    std::uint64_t position = 0;
    if (!Tell(in, position) || position > fileSize) return Fail(kReadCiphertextFailed, text::kReadCiphertext);
    std::uint64_t remaining = fileSize - position;
    if (remaining == 0 || remaining % kCipherBlock != 0) return Fail(kDecryptChunkFailed, text::kDecryptChunk);

    std::vector<std::uint8_t> chunk(kChunkSize);
    while (remaining > 0) {
      std::size_t n = std::size_t(remaining < kChunkSize ? remaining : kChunkSize);
      if (std::fread(chunk.data(), 1, n, in) != n) return Fail(kReadCiphertextFailed, text::kReadCiphertext);
      remaining -= n;
      if (!sessionKey.DecryptChunk(chunk.data(), n, remaining == 0))
        return Fail(kDecryptChunkFailed, text::kDecryptChunk);
      if (!WriteAll(plain.get(), chunk.data(), n)) return Fail(kWritePlainFailed, text::kWritePlain);
      if (onChunk && !onChunk(fileSize - remaining)) return kStopped;
    }
    if (!plain.Finish()) return Fail(kWritePlainFailed, text::kWritePlain);
    return kSuccess;
  } catch (...) {
    return Fail(kDecryptException, text::kDecryptException);
  }
}

}  // namespace qz
