// The few file-system operations of the folder runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz {

// Full paths (folder + separator + name) of the files directly in the folder, in the order the
// platform's listing yields them. Subfolders are not entered; on Linux only regular files
// count (a link counts as what it points to), since reading a pipe or a device could block a run
// forever. Empty when the listing cannot start; a listing that fails midway keeps what it found.
std::vector<std::string> ListFiles(const std::string& folder);

// The file's size in bytes as the listing would see it now; 0 when it cannot be told.
std::uint64_t SizeOfFile(const std::string& path);

// Whether the two paths name one folder, however spelt; also when either cannot be examined.
bool MaybeSameFolder(const std::string& a, const std::string& b);

// Whether anything, folder or file, exists under the path.
bool PathExists(const std::string& path);

// One level: the parent must exist.
bool CreateFolder(const std::string& path);

}  // namespace qz
