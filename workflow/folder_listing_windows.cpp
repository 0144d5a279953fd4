#include <windows.h>

#include "folder_listing.h"
#include "naming.h"
#include "narrow_text.h"
#include "wide_text.h"
#include "unique_handle.h"

namespace qz {
namespace {

inline void CloseFind(HANDLE find) { FindClose(find); }
// FindFirstFileW's INVALID_HANDLE_VALUE is stored as the null handle.
using unique_find = unique_handle<HANDLE, CloseFind>;

inline void CloseFileHandle(HANDLE handle) { CloseHandle(handle); }
// CreateFileA's INVALID_HANDLE_VALUE is stored as the null handle, as for the listing.
using unique_file_handle = unique_handle<HANDLE, CloseFileHandle>;

// A folder opened for its identity only: no right to read or change it is asked for.
bool IdentityOf(const std::string& folder, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE opened = CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  unique_file_handle handle(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
  return handle && GetFileInformationByHandle(handle.get(), &info);
}

}  // namespace

// Listed in UTF-16 and handed on in the ANSI code page. A name that code page cannot hold keeps
// a '?' for each such character (never a look-alike letter, as the ANSI listing would give): no
// file has that name, so the run stops there with the engine's open error instead of passing
// the file over or reaching another one.
std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAW entry;
  HANDLE first = FindFirstFileW(WideFromNarrow(JoinPath(folder, "*.*"), CP_ACP).c_str(), &entry);
  unique_find find(first == INVALID_HANDLE_VALUE ? nullptr : first);
  if (!find) return files;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      files.push_back(JoinPath(folder, NarrowFromWide(entry.cFileName, CP_ACP)));
  } while (FindNextFileW(find.get(), &entry));
  return files;
}

std::uint64_t SizeOfFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool MaybeSameFolder(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!IdentityOf(a, ia) || !IdentityOf(b, ib)) return true;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CreateFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

}  // namespace qz
