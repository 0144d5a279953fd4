// The file operations whose means differ between the platforms, for the engine's own files
// (one implementation in engine/linux, one in engine/windows).
#pragma once

#include <string>

#include "unique_handle.h"

namespace qz {

bool RenameOver(const std::string& from, const std::string& to);

// Opens a new file for writing; fails when anything, a link included, is already there.
unique_file CreateNewFile(const std::string& path);

// How an output replaces its target. On Linux the file replaced is the one a chain of symbolic
// links at the target ends at, a device or pipe is written in place (a rename would replace the
// node), and the new file takes the permissions of the one it replaces.
struct OutputTarget {
  std::string path;
  bool inPlace = false;
  bool existed = false;
  unsigned mode = 0;
};
OutputTarget ResolveOutputTarget(const std::string& target);
void TakePermissions(FILE* f, const OutputTarget& target);

}  // namespace qz
