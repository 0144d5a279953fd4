#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "cert_store.h"
#include "narrow_text.h"

namespace fs = std::filesystem;

namespace qz::test {

std::string DataPath(const std::string& relative) { return std::string(QZ_TEST_DATA) + "/" + relative; }

void InstallTestCertificates() {
  for (const char* file : {"certs/alice1024.p12", "certs/bob2048.p12", "certs/carol2048.crt", "certs/dave-ec.crt"}) {
    ImportResult result = ImportCertificateFile(DataPath(file), "test");
    ASSERT_TRUE(result.ok) << file << ": " << result.error;
  }
}

ScratchDir::ScratchDir() {
  std::random_device rd;
  fs::path dir = fs::temp_directory_path() / ("qz-test-" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(dir);
  path_ = dir.string();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ScratchDir::Path(const std::string& name) const { return path_ + kPathSeparator + name; }

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::vector<std::uint8_t> PatternBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::mt19937 gen{std::uint32_t(size)};
  for (auto& b : bytes) b = std::uint8_t(gen());
  return bytes;
}

}  // namespace qz::test
