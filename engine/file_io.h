// The few file operations of the engine that differ between the C runtimes, and the
// write-beside-then-rename rule that keeps a failed call from touching an existing file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "unique_handle.h"

namespace qz {

// Paths are held in 256-byte buffers: a path that does not fit fails to open instead of being
// cut to another path.
inline constexpr std::size_t kPathBufferSize = 256;
unique_file OpenFile(const std::string& path, const char* mode);

bool FileSize(FILE* f, std::uint64_t& size);

// A folder, or a link to one (as a junction counts on Windows).
bool IsFolder(const std::string& path);

// Far more than any certificate file holds; anything larger is not one.
inline constexpr std::uint64_t kLargestCertificateFile = 16 * 1024 * 1024;
// The whole content of a file of at most `largest` bytes; false when it cannot be read or is larger.
bool ReadWholeFile(const std::string& path, std::uint64_t largest, std::vector<std::uint8_t>& bytes);
bool Tell(FILE* f, std::uint64_t& pos);
bool SkipBytes(FILE* f, std::uint32_t count);
bool SeekTo(FILE* f, std::uint64_t pos);

// A file being written under a temporary name beside its target. Commit() closes it and
// renames it over the target; without a commit the temporary file is removed. Finish() closes
// it early, so that a finished file can wait for its commit without holding a handle. The
// temporary file is created exclusively (a file planted under its name is never written
// through), and its path fits the path buffer whenever the target's does. On Linux a symbolic
// link at the target is written through: the file it names is replaced, the link stays.
class PendingFile {
 public:
  explicit PendingFile(std::string target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool Open();  // false when the target path does not fit or the file cannot be created
  FILE* get() const { return file_.get(); }
  bool Finish();  // false when flushing or closing fails
  bool Commit();  // false when flushing, closing or renaming fails

 private:
  std::string target_;
  std::string temp_;
  unique_file file_;
  bool closedWhole_ = false;
};

}  // namespace qz
