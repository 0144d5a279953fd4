// Certificate stores as folders under the zevireve home: MY/ (certificate and private key per
// file) and ADDRESSBOOK/ (certificate only). Files are named by a running number, so the
// listing order is the order of adding.
#include "openssl_certificate.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <cstring>
#include <system_error>

#include "cert_store.h"
#include "file_io.h"
#include "zevireve_home.h"

namespace fs = std::filesystem;

namespace qz {
namespace {

fs::path StoreFolder(Store store) { return fs::path(ZevireveHome()) / StoreName(store); }

std::vector<fs::path> StoreFiles(Store store) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(StoreFolder(store), ec))
    if (entry.path().extension() == ".pem") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Gives OpenSSL the password in `userdata` (a std::string, may be empty) instead of letting it
// prompt on the terminal: a library inside a file manager or a script has no one to ask.
int GivePassword(char* buf, int size, int /*rwflag*/, void* userdata) {
  const auto* password = static_cast<const std::string*>(userdata);
  if (!password || password->empty() || password->size() > std::size_t(size)) return -1;
  std::memcpy(buf, password->data(), password->size());
  return int(password->size());
}

unique_x509 ReadFirstCertificate(const fs::path& file) {
  unique_bio bio(BIO_new_file(file.c_str(), "r"));
  if (!bio) return unique_x509();
  return unique_x509(PEM_read_bio_X509(bio.get(), nullptr, GivePassword, nullptr));
}

// Every lookup reads the stores, once per recipient of every file of a run. What was parsed is
// kept while the store folder is unchanged: the store's own writes all create, rename or remove
// files, and each of those changes the folder's modification time.
struct CachedFile {
  std::string path;
  unique_x509 x509;
  bool keyRead = false;
  unique_evp_pkey key;  // "MY" only, read on first use
};

struct CachedFolder {
  bool valid = false;
  struct timespec mtime = {};
  ino_t inode = 0;
  std::vector<CachedFile> files;
};

// The workers of a folder run read the stores at the same time: the cache is used only under
// this lock.
std::mutex g_cacheLock;

std::vector<CachedFile>& CachedStore(Store store) {
  static CachedFolder cache[2];
  CachedFolder& cached = cache[store == Store::My ? 0 : 1];
  struct stat st = {};
  const bool exists = stat(StoreFolder(store).c_str(), &st) == 0;
  if (cached.valid && exists && st.st_ino == cached.inode && st.st_mtim.tv_sec == cached.mtime.tv_sec &&
      st.st_mtim.tv_nsec == cached.mtime.tv_nsec)
    return cached.files;
  cached.files.clear();
  for (const auto& file : StoreFiles(store)) cached.files.push_back({file.string(), ReadFirstCertificate(file), false, {}});
  cached.valid = exists;
  cached.mtime = st.st_mtim;
  cached.inode = st.st_ino;
  return cached.files;
}

std::string NameEntry(const X509_NAME* name, int nid) {
  int index = X509_NAME_get_index_by_NID(name, nid, -1);
  if (index < 0) return std::string();
  unsigned char* utf8 = nullptr;
  int len = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
  if (len < 0) return std::string();
  std::string text(reinterpret_cast<char*>(utf8), std::size_t(len));
  OPENSSL_free(utf8);
  return text;
}

std::string SimpleName(const X509_NAME* name) {
  for (int nid : {NID_commonName, NID_organizationalUnitName, NID_organizationName, NID_pkcs9_emailAddress})
    if (auto text = NameEntry(name, nid); !text.empty()) return text;
  return std::string();
}

std::vector<std::uint8_t> Der(X509* x509) {
  unsigned char* der = nullptr;
  int len = i2d_X509(x509, &der);
  if (len < 0) return {};
  std::vector<std::uint8_t> bytes(der, der + len);
  OPENSSL_free(der);
  return bytes;
}

std::string Pem(X509* x509, EVP_PKEY* key) {
  unique_bio bio(BIO_new(BIO_s_mem()));
  if (!PEM_write_bio_X509(bio.get(), x509)) return std::string();
  if (key && !PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr)) return std::string();
  char* data = nullptr;
  long len = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, std::size_t(len));
}

// The file that already holds this certificate, so that importing it again replaces it in place;
// else the next free running number.
fs::path FileFor(Store store, X509* x509) {
  const auto der = Der(x509);
  unsigned next = 1;
  for (const auto& file : StoreFiles(store)) {
    if (auto existing = ReadFirstCertificate(file); existing && Der(existing.get()) == der) return file;
    next = std::max(next, unsigned(std::strtoul(file.stem().c_str(), nullptr, 10)) + 1);
  }
  char name[32];
  std::snprintf(name, sizeof name, "%08u.pem", next);
  return StoreFolder(store) / name;
}

inline void CloseFd(int fd) { ::close(fd); }
using unique_fd = unique_handle<int, CloseFd, -1>;

// Holds the store folder's lock file: writers of other processes wait, so that two imports at
// once cannot pick the same running number and lose one certificate.
unique_fd LockStore(Store store) {
  unique_fd lock(::open((StoreFolder(store) / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock && flock(lock.get(), LOCK_EX) != 0) lock.reset();
  return lock;
}

bool WriteStoreFile(Store store, X509* x509, EVP_PKEY* key) {
  std::error_code ec;
  fs::create_directories(StoreFolder(store), ec);
  const std::string pem = Pem(x509, key);
  if (pem.empty()) return false;
  const unique_fd lock = LockStore(store);
  if (!lock) return false;
  const fs::path file = FileFor(store, x509);
  const fs::path temp = file.string() + ".new";
  // Created readable by its owner only: a file of "MY" holds a private key.
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  unique_file out(fd < 0 ? nullptr : fdopen(fd, "wb"));
  if (!out) {
    if (fd >= 0) ::close(fd);
    return false;
  }
  bool written = std::fwrite(pem.data(), 1, pem.size(), out.get()) == pem.size();
  written = std::fclose(out.release()) == 0 && written;
  if (!written) return false;
  fs::rename(temp, file, ec);
  return !ec;
}

struct LoadedFile {
  unique_x509 cert;
  unique_evp_pkey key;
};

bool LoadPkcs12(const std::string& data, const std::string& password, LoadedFile& loaded) {
  unique_bio bio(BIO_new_mem_buf(data.data(), int(data.size())));
  unique_pkcs12 p12(d2i_PKCS12_bio(bio.get(), nullptr));
  if (!p12) return false;
  X509* cert = nullptr;
  EVP_PKEY* key = nullptr;
  STACK_OF(X509)* ca = nullptr;
  if (!PKCS12_parse(p12.get(), password.c_str(), &key, &cert, &ca)) return false;
  unique_x509_stack chain(ca);
  loaded.cert.reset(cert);
  loaded.key.reset(key);
  return bool(loaded.cert);
}

bool Contains(const std::string& data, const char* text) { return data.find(text) != std::string::npos; }

// A PEM file that holds a private key must give it up, else the certificate would be filed
// without it (in "ADDRESSBOOK", where no file can be decrypted with it).
std::string LoadPem(const std::string& data, const std::string& password, LoadedFile& loaded) {
  auto* userdata = const_cast<std::string*>(&password);
  unique_bio bio(BIO_new_mem_buf(data.data(), int(data.size())));
  loaded.cert.reset(PEM_read_bio_X509(bio.get(), nullptr, GivePassword, userdata));
  if (!loaded.cert || !Contains(data, "PRIVATE KEY-----")) return std::string();
  unique_bio keyBio(BIO_new_mem_buf(data.data(), int(data.size())));
  loaded.key.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, GivePassword, userdata));
  if (loaded.key) return std::string();
  if (Contains(data, "ENCRYPTED")) return "the private key is encrypted and the password given does not open it: ";
  return "the private key cannot be read: ";
}

bool LoadDer(const std::string& data, LoadedFile& loaded) {
  const auto* der = reinterpret_cast<const unsigned char*>(data.data());
  loaded.cert.reset(d2i_X509(nullptr, &der, long(data.size())));
  return bool(loaded.cert);
}

}  // namespace

Certificate::Certificate(std::unique_ptr<Native> native) : native_(std::move(native)) {}
Certificate::Certificate(Certificate&&) noexcept = default;
Certificate& Certificate::operator=(Certificate&&) noexcept = default;
Certificate::~Certificate() = default;

std::vector<std::uint8_t> SerialNumberLsbFirst(const Certificate& cert) {
  // The DER integer's content bytes, sign byte included, as the Windows API holds them.
  unsigned char* der = nullptr;
  int len = i2d_ASN1_INTEGER(X509_get_serialNumber(cert.native().x509.get()), &der);
  if (len < 2) return {};
  std::vector<std::uint8_t> tlv(der, der + len);
  OPENSSL_free(der);
  std::size_t header = 2;
  if (tlv[1] & 0x80) header += tlv[1] & 0x7F;
  if (header >= tlv.size()) return {};
  return std::vector<std::uint8_t>(tlv.rbegin(), tlv.rend() - header);
}

std::string SubjectSimpleName(const Certificate& cert) { return SimpleName(X509_get_subject_name(cert.native().x509.get())); }
std::string IssuerSimpleName(const Certificate& cert) { return SimpleName(X509_get_issuer_name(cert.native().x509.get())); }

std::uint8_t KeyUsageByte(const Certificate& cert) {
  X509* x509 = cert.native().x509.get();
  if (!(X509_get_extension_flags(x509) & EXFLAG_KUSAGE)) return 0;
  return std::uint8_t(X509_get_key_usage(x509) & 0xFF);
}

std::vector<Certificate> ReadStore(Store store) {
  std::lock_guard<std::mutex> lock(g_cacheLock);
  std::vector<Certificate> certs;
  for (const CachedFile& cached : CachedStore(store)) {
    if (!cached.x509) continue;
    X509_up_ref(cached.x509.get());
    certs.emplace_back(std::make_unique<Certificate::Native>(Certificate::Native{unique_x509(cached.x509.get()), cached.path}));
  }
  return certs;
}

unique_evp_pkey PrivateKeyOf(const Certificate& cert) {
  std::lock_guard<std::mutex> lock(g_cacheLock);
  for (CachedFile& cached : CachedStore(Store::My)) {
    if (cached.path != cert.native().file) continue;
    if (!cached.keyRead) {
      unique_bio bio(BIO_new_file(cached.path.c_str(), "r"));
      if (bio) cached.key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, GivePassword, nullptr));
      cached.keyRead = true;
    }
    if (!cached.key) return unique_evp_pkey();
    EVP_PKEY_up_ref(cached.key.get());
    return unique_evp_pkey(cached.key.get());
  }
  return unique_evp_pkey();
}

ImportResult ImportCertificateFile(const std::string& path, const std::string& password) {
  ImportResult result;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, kLargestCertificateFile, bytes)) {
    result.error = "cannot read " + path;
    return result;
  }
  const std::string data(bytes.begin(), bytes.end());
  LoadedFile loaded;
  if (!LoadPkcs12(data, password, loaded)) {
    if (std::string keyError = LoadPem(data, password, loaded); !keyError.empty()) {
      result.error = keyError + path;
      return result;
    }
    if (!loaded.cert && !LoadDer(data, loaded)) {
      result.error = "not a certificate (PKCS#12 with the right password, PEM or DER): " + path;
      return result;
    }
  }
  if (loaded.key && X509_check_private_key(loaded.cert.get(), loaded.key.get()) != 1) {
    result.error = "the private key does not belong to the certificate: " + path;
    return result;
  }
  result.store = loaded.key ? Store::My : Store::AddressBook;
  if (!WriteStoreFile(result.store, loaded.cert.get(), loaded.key.get())) {
    result.error = std::string("cannot write to the store folder ") + StoreFolder(result.store).string();
    return result;
  }
  Certificate cert(std::make_unique<Certificate::Native>(Certificate::Native{std::move(loaded.cert), {}}));
  result.serialText = CertSerialToText(cert);
  result.ok = true;
  return result;
}

bool AddToAddressBook(const std::vector<std::uint8_t>& der) {
  const unsigned char* p = der.data();
  unique_x509 x509(d2i_X509(nullptr, &p, long(der.size())));
  return x509 && WriteStoreFile(Store::AddressBook, x509.get(), nullptr);
}

bool RemoveFromStore(Store store, const std::string& serialText) {
  for (const Certificate& cert : ReadStore(store)) {
    if (!SerialTextsEqual(CertSerialToText(cert), serialText)) continue;
    std::error_code ec;
    return fs::remove(cert.native().file, ec);
  }
  return false;
}

}  // namespace qz
