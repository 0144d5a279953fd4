// The few file-system operations of the folder runs.
#pragma once

#include <string>
#include <vector>

namespace qz {

// Full paths (folder + separator + name) of the entries directly in the folder that are not
// folders, in the order the platform's listing yields them. Subfolders are not entered. Empty
// when the listing cannot start; a listing that fails midway keeps what it found.
std::vector<std::string> ListFiles(const std::string& folder);

// Whether anything, folder or file, exists under the path.
bool PathExists(const std::string& path);

// One level: the parent must exist.
bool CreateFolder(const std::string& path);

}  // namespace qz
