// The Linux side of the engine's file operations.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "file_io.h"
#include "file_io_platform.h"

namespace qz {
namespace {

// The system's own limit on links followed in one path.
constexpr int kMaxLinkHops = 40;

// The file a chain of symbolic links ends at (which need not exist yet); the path itself when it
// is no link.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < kMaxLinkHops; ++hops) {
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

}  // namespace

bool FileSize(FILE* f, std::uint64_t& size) {
  struct stat st;
  if (fstat(fileno(f), &st) != 0) return false;
  size = std::uint64_t(st.st_size);
  return true;
}

bool Tell(FILE* f, std::uint64_t& pos) {
  const off_t p = ftello(f);
  if (p < 0) return false;
  pos = std::uint64_t(p);
  return true;
}

bool SkipBytes(FILE* f, std::uint32_t count) { return fseeko(f, off_t(count), SEEK_CUR) == 0; }

bool SeekTo(FILE* f, std::uint64_t pos) { return fseeko(f, off_t(pos), SEEK_SET) == 0; }

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RenameOver(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

unique_file CreateNewFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  FILE* f = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (fd >= 0 && !f) close(fd);
  return unique_file(f);
}

OutputTarget ResolveOutputTarget(const std::string& target) {
  OutputTarget resolved;
  resolved.path = FollowLinks(target);
  struct stat st;
  resolved.existed = stat(resolved.path.c_str(), &st) == 0;
  resolved.inPlace = resolved.existed && !S_ISREG(st.st_mode);
  resolved.mode = resolved.existed ? unsigned(st.st_mode & 07777) : 0;
  return resolved;
}

void TakePermissions(FILE* f, const OutputTarget& target) {
  // Writing over a file keeps its permissions, as writing into it would.
  if (target.existed) fchmod(fileno(f), mode_t(target.mode));
}

}  // namespace qz
