#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "folder_listing.h"
#include "naming.h"
#include "unique_handle.h"

namespace qz {
namespace {

inline void CloseDir(DIR* dir) { closedir(dir); }
using unique_dir = unique_handle<DIR*, CloseDir>;

// Through links, as a link to a folder is skipped like a junction on Windows; an entry that
// cannot be examined (a dangling link) is no file.
bool IsRegularFile(DIR* dir, const char* name) {
  struct stat st;
  return fstatat(dirfd(dir), name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> files;
  unique_dir dir(opendir(folder.c_str()));
  if (!dir) return files;
  while (const dirent* entry = readdir(dir.get()))
    if (IsRegularFile(dir.get(), entry->d_name)) files.push_back(JoinPath(folder, entry->d_name));
  return files;
}

std::uint64_t SizeOfFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? std::uint64_t(st.st_size) : 0;
}

bool MaybeSameFolder(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return true;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool CreateFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

}  // namespace qz
