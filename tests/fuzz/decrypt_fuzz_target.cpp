// Arbitrary bytes as an encrypted file, through everything a reader does with one: the recipient
// list and key block parsing, the recipient search, the SIMPLEBLOB checks, a real RSA unwrap
// with the test certificates' private keys and the padded 3DES tail. The same entry point serves
// libFuzzer and the replay of the kept inputs in the test suite.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cert_store.h"
#include "file_cipher.h"
#include "file_format.h"
#include "file_io.h"
#include "linux/zevireve_home.h"

namespace {

constexpr const char* kReaders[] = {"0A1B", "0080AB"};  // alice (1024-bit), bob (2048-bit)

// The encrypted "file": a memory file rewritten for every input, named through /proc.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("qz-fuzz-input", MFD_CLOEXEC)), path_("/proc/self/fd/" + std::to_string(fd_)) {}
  bool Fill(const std::uint8_t* data, std::size_t size) {
    return ftruncate(fd_, 0) == 0 && (size == 0 || pwrite(fd_, data, size, 0) == ssize_t(size));
  }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

char g_home[] = "/tmp/qz-fuzz-home-XXXXXX";

void RemoveHome() {
  std::error_code ec;
  std::filesystem::remove_all(g_home, ec);
}

// A private home with alice and bob (and their keys) in "MY", made once per process and removed
// when it ends.
bool InstallReaders() {
  if (!mkdtemp(g_home)) return false;
  std::atexit(RemoveHome);
  qz::SetZevireveHome(g_home);
  for (const char* file : {"alice1024.p12", "bob2048.p12"})
    if (!qz::ImportCertificateFile(std::string(QZ_TEST_DATA) + "/certs/" + file, "test").ok) return false;
  return true;
}

// What the folder decryption's certificate scan and `qzfolder inspect` read of a file.
void ReadHeaderAsScanner(const std::string& path) {
  qz::unique_file f = qz::OpenFile(path, "rb");
  std::uint64_t size = 0;
  std::string list;
  if (!f || !qz::FileSize(f.get(), size) || !qz::ReadRecipientList(f.get(), size, list)) return;
  std::size_t matches = 0;
  qz::ForEachRecipient(list, [&](std::string_view serial) { matches += qz::SerialTextsEqual(serial, kReaders[0]); });
  std::vector<std::uint8_t> none;
  std::vector<std::uint32_t> lengths;
  qz::ReadKeyBlocks(f.get(), size, qz::CountRecipients(list), qz::kKeepNone, none, &lengths);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = InstallReaders();
  static MemoryFile input;
  if (!ready) std::abort();  // no keys, no unwrap: the run would prove nothing
  if (!input.Fill(data, size)) return 0;
  ReadHeaderAsScanner(input.path());
  qz::CFileCipher cipher;
  for (const char* reader : kReaders) {
    // The plain output goes nowhere: a device is written in place, never renamed over.
    if (cipher.DecryptOneFile(input.path(), "/dev/null", reader) != qz::kNotARecipient) break;
  }
  return 0;
}
