// The Windows side of the engine's file operations, over the C runtime and the file API.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>

#include "file_io.h"
#include "file_io_platform.h"

namespace qz {

bool FileSize(FILE* f, std::uint64_t& size) {
  struct _stat64 st;
  if (_fstat64(_fileno(f), &st) != 0) return false;
  size = std::uint64_t(st.st_size);
  return true;
}

bool Tell(FILE* f, std::uint64_t& pos) {
  const long long p = _ftelli64(f);
  if (p < 0) return false;
  pos = std::uint64_t(p);
  return true;
}

bool SkipBytes(FILE* f, std::uint32_t count) { return _fseeki64(f, count, SEEK_CUR) == 0; }

bool SeekTo(FILE* f, std::uint64_t pos) { return _fseeki64(f, static_cast<long long>(pos), SEEK_SET) == 0; }

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RenameOver(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

unique_file CreateNewFile(const std::string& path) {
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  FILE* f = fd < 0 ? nullptr : _fdopen(fd, "wb");
  if (fd >= 0 && !f) _close(fd);
  return unique_file(f);
}

OutputTarget ResolveOutputTarget(const std::string& target) {
  OutputTarget resolved;
  resolved.path = target;
  return resolved;
}

void TakePermissions(FILE*, const OutputTarget&) {}

}  // namespace qz
