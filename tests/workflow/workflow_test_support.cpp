#include "workflow_test_support.h"

#include <algorithm>

#include "file_format.h"
#include "file_io.h"
#include "folder_listing.h"
#include "naming.h"

#ifndef _WIN32
#include "linux/zevireve_home.h"
#endif

namespace qz::test {

std::unique_ptr<ScratchDir> WithTestCertificates::home_;

std::ostream& operator<<(std::ostream& out, const ShownMessage& message) {
  return out << "{" << message.text << " | " << message.caption << " | 0x" << std::hex << unsigned(message.icon)
             << std::dec << "}";
}

void WithTestCertificates::SetUpTestSuite() {
#ifndef _WIN32
  home_ = std::make_unique<ScratchDir>();
  SetZevireveHome(home_->path());
#endif
  InstallTestCertificates();
}

void WithTestCertificates::TearDownTestSuite() { home_.reset(); }

void MakeFolderWithFiles(const std::string& folder, const std::vector<std::string>& names) {
  ASSERT_TRUE(CreateFolder(folder)) << folder;
  for (const std::string& name : names) WriteBytes(JoinPath(folder, name), std::vector<std::uint8_t>(name.begin(), name.end()));
}

std::string ContentOf(const std::string& path) {
  const auto bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> FileNamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& path : ListFiles(folder)) names.push_back(FileNameOf(path));
  return Sorted(names);
}

std::vector<std::string> Sorted(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

std::string RecipientListOf(const std::string& encryptedFile) {
  unique_file file = OpenFile(encryptedFile, "rb");
  std::uint64_t size = 0;
  std::string list;
  if (!file || !FileSize(file.get(), size) || !ReadRecipientList(file.get(), size, list)) return "<damaged>";
  return list;
}

}  // namespace qz::test
