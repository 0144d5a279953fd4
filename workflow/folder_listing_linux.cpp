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

// A link to a folder counts as a folder, as a junction does on Windows; an entry that cannot
// be examined (a dangling link) does not.
bool IsFolder(DIR* dir, const char* name) {
  struct stat st;
  return fstatat(dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> files;
  unique_dir dir(opendir(folder.c_str()));
  if (!dir) return files;
  while (const dirent* entry = readdir(dir.get()))
    if (!IsFolder(dir.get(), entry->d_name)) files.push_back(JoinPath(folder, entry->d_name));
  return files;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool CreateFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

}  // namespace qz
