// Linux stores of the tests: folders in a home of this process, so runs never meet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "linux/zevireve_home.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace qz::test {
namespace {

// Gives the whole test program one fresh home before any test runs.
class FreshHome : public ::testing::Environment {
 public:
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("qz-home-" + std::to_string(getpid()));
    fs::remove_all(home_);
    fs::create_directories(home_);
    SetZevireveHome(home_.string());
  }
  void TearDown() override { fs::remove_all(home_); }

 private:
  fs::path home_;
};
const auto* const kFreshHome = ::testing::AddGlobalTestEnvironment(new FreshHome);

}  // namespace

void InstallCertificateWithWrongKey() {
  // A store file is a certificate followed by its key: pair mallory's with another key.
  fs::create_directories(fs::path(ZevireveHome()) / "MY");
  fs::copy_file(DataPath("certs/mallory.pem"), fs::path(ZevireveHome()) / "MY" / "00009999.pem",
                fs::copy_options::overwrite_existing);
}

}  // namespace qz::test
