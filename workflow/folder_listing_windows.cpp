#include <windows.h>

#include "folder_listing.h"
#include "naming.h"
#include "unique_handle.h"

namespace qz {
namespace {

inline void CloseFind(HANDLE find) { FindClose(find); }
// FindFirstFileA's INVALID_HANDLE_VALUE is stored as the null handle.
using unique_find = unique_handle<HANDLE, CloseFind>;

}  // namespace

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA entry;
  HANDLE first = FindFirstFileA(JoinPath(folder, "*.*").c_str(), &entry);
  unique_find find(first == INVALID_HANDLE_VALUE ? nullptr : first);
  if (!find) return files;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(JoinPath(folder, entry.cFileName));
  } while (FindNextFileA(find.get(), &entry));
  return files;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CreateFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

}  // namespace qz
