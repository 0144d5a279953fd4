#include "file_io.h"

#include <sys/stat.h>

#include <cstdio>

#include "crypto_backend.h"
#include "narrow_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qz {
namespace {

// Empty when the generator fails: a fixed name could meet another writer's temporary file.
std::string RandomSuffix() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint8_t bytes[8] = {};
  if (!RandomBytes(bytes, sizeof bytes)) return std::string();
  std::string s;
  for (auto b : bytes) s += kLetters[b % 36];
  return s;
}

bool RenameOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool IsFolder(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

}  // namespace

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
  // A device or pipe (/dev/null, /dev/full) is written in place: renaming over it would
  // replace the device node.
  struct stat st;
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    file_ = OpenFile(target_, "wb");
    return bool(file_);
  }
#endif
  // Beside the target, so that the rename stays on one volume; hidden-looking on Linux.
  std::size_t slash = FindLastSeparator(target_);
  std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string suffix = RandomSuffix();
  if (suffix.empty()) return false;
  temp_ = dir + ".qz-" + suffix + ".tmp";
  file_ = OpenFile(temp_, "wb");
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

bool PendingFile::Finish() {
  if (FILE* f = file_.release()) {
    closedWhole_ = std::ferror(f) == 0;
    closedWhole_ = (std::fclose(f) == 0) && closedWhole_;
  }
  return closedWhole_;
}

bool PendingFile::Commit() {
  if (!Finish()) return false;
  if (temp_.empty()) return true;  // written in place
  if (!RenameOver(temp_, target_)) return false;
  temp_.clear();
  return true;
}

}  // namespace qz
