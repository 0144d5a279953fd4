#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "crypto_backend.h"
#include "narrow_text.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qz {
namespace {

constexpr std::size_t kTempNameLength = 16;
constexpr int kTempNameTries = 16;

// Starts with "." (hidden on Linux) when there is room for more; empty when the generator fails,
// since a fixed name could meet another writer's temporary file at every try.
std::string RandomName(std::size_t length) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint8_t bytes[kTempNameLength] = {};
  if (length > sizeof bytes || !RandomBytes(bytes, length)) return std::string();
  std::string name;
  for (std::size_t i = 0; i < length; ++i) name += (i == 0 && length > 1) ? '.' : kLetters[bytes[i] % 36];
  return name;
}

bool RenameOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// Opens a new file for writing; fails when anything, a link included, is already there.
unique_file CreateNewFile(const std::string& path) {
#ifdef _WIN32
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  FILE* f = fd < 0 ? nullptr : _fdopen(fd, "wb");
  if (fd >= 0 && !f) _close(fd);
#else
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  FILE* f = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (fd >= 0 && !f) close(fd);
#endif
  return unique_file(f);
}

#ifndef _WIN32
// The file a chain of symbolic links ends at (which need not exist yet); the path itself when it
// is no link. A loop ends after as many hops as the system itself follows.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(std::size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = readlink(path.c_str(), link.data(), link.size());
    if (n < 0 || std::size_t(n) >= link.size()) return path;
    link.resize(std::size_t(n));
    const std::size_t slash = path.rfind('/');
    path = (link[0] == '/' || slash == std::string::npos) ? link : path.substr(0, slash + 1) + link;
  }
  return path;
}
#endif

}  // namespace

bool IsFolder(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

bool ReadWholeFile(const std::string& path, std::uint64_t largest, std::vector<std::uint8_t>& bytes) {
  unique_file f(std::fopen(path.c_str(), "rb"));
  std::uint64_t size = 0;
  if (!f || !FileSize(f.get(), size) || size > largest) return false;
  bytes.resize(std::size_t(size));
  return bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
}

unique_file OpenFile(const std::string& path, const char* mode) {
  if (path.size() >= kPathBufferSize) return unique_file();
  return unique_file(std::fopen(path.c_str(), mode));
}

bool FileSize(FILE* f, std::uint64_t& size) {
#ifdef _WIN32
  struct _stat64 st;
  if (_fstat64(_fileno(f), &st) != 0) return false;
#else
  struct stat st;
  if (fstat(fileno(f), &st) != 0) return false;
#endif
  size = std::uint64_t(st.st_size);
  return true;
}

bool Tell(FILE* f, std::uint64_t& pos) {
#ifdef _WIN32
  long long p = _ftelli64(f);
#else
  long long p = ftello(f);
#endif
  if (p < 0) return false;
  pos = std::uint64_t(p);
  return true;
}

bool SkipBytes(FILE* f, std::uint32_t count) {
#ifdef _WIN32
  return _fseeki64(f, count, SEEK_CUR) == 0;
#else
  return fseeko(f, count, SEEK_CUR) == 0;
#endif
}

bool SeekTo(FILE* f, std::uint64_t pos) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<long long>(pos), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0;
#endif
}

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {}

PendingFile::~PendingFile() {
  if (temp_.empty()) return;
  file_.reset();
  std::remove(temp_.c_str());
}

bool PendingFile::Open() {
  // A folder cannot be written over, as opening it for writing would tell at once.
  if (target_.size() >= kPathBufferSize || IsFolder(target_)) return false;
#ifndef _WIN32
  target_ = FollowLinks(target_);
  // A device or pipe (/dev/null, /dev/full) is written in place: renaming over it would
  // replace the device node.
  struct stat st;
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    file_ = unique_file(std::fopen(target_.c_str(), "wb"));
    return bool(file_);
  }
#endif
  // Beside the target, so that the rename stays on one volume, and no longer than the path
  // buffer allows (a link's target may be longer still; it is not bound by the buffer).
  const std::size_t slash = FindLastSeparator(target_);
  const std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::size_t room = dir.size() < kPathBufferSize - 1 ? kPathBufferSize - 1 - dir.size() : kTempNameLength;
  const std::size_t length = room < kTempNameLength ? room : kTempNameLength;
  for (int attempt = 0; attempt < kTempNameTries && !file_; ++attempt) {
    const std::string name = RandomName(length);
    if (name.empty()) return false;
    temp_ = dir + name;
    file_ = CreateNewFile(temp_);
  }
  if (!file_) {
    temp_.clear();
    return false;
  }
#ifndef _WIN32
  // Writing over a file keeps its permissions, as writing into it would.
  if (exists) fchmod(fileno(file_.get()), st.st_mode & 07777);
#endif
  return true;
}

bool PendingFile::Commit() {
  FILE* f = file_.release();
  bool ok = std::ferror(f) == 0;
  ok = (std::fclose(f) == 0) && ok;
  if (temp_.empty()) return ok;  // written in place
  if (ok && RenameOver(temp_, target_)) {
    temp_.clear();
    return true;
  }
  return false;
}

}  // namespace qz
