#include "file_io.h"

#include <cstdio>

#include "crypto_backend.h"
#include "file_io_platform.h"
#include "narrow_text.h"

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

}  // namespace

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

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {}

PendingFile::~PendingFile() {
  if (temp_.empty()) return;
  file_.reset();
  std::remove(temp_.c_str());
}

bool PendingFile::Open() {
  // A folder cannot be written over, as opening it for writing would tell at once.
  if (target_.size() >= kPathBufferSize || IsFolder(target_)) return false;
  const OutputTarget resolved = ResolveOutputTarget(target_);
  target_ = resolved.path;
  if (resolved.inPlace) {
    file_ = unique_file(std::fopen(target_.c_str(), "wb"));
    return bool(file_);
  }
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
  TakePermissions(file_.get(), resolved);
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
