// Shared pieces of the workflow tests: a sink that records the message boxes, the test
// certificates in the stores, and small folder helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "message_sink.h"
#include "test_support.h"

namespace qz::test {

struct ShownMessage {
  std::string text;
  std::string caption;
  MessageIcon icon;
  bool operator==(const ShownMessage& other) const {
    return text == other.text && caption == other.caption && icon == other.icon;
  }
};
std::ostream& operator<<(std::ostream& out, const ShownMessage& message);

class RecordingSink : public MessageSink {
 public:
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
    shown.push_back({text, caption, icon});
  }
  std::vector<ShownMessage> shown;
};

// alice and bob in "MY", carol in "ADDRESSBOOK"; on Linux in a home of the suite's own.
class WithTestCertificates : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

 private:
  static std::unique_ptr<ScratchDir> home_;
};

// Makes the folder with one file per name, each holding its name.
void MakeFolderWithFiles(const std::string& folder, const std::vector<std::string>& names);
std::string ContentOf(const std::string& path);
// The names of the entries in the folder that are not folders, sorted.
std::vector<std::string> FileNamesIn(const std::string& folder);
std::vector<std::string> Sorted(std::vector<std::string> texts);
// The recipient list at the start of an encrypted file; "<damaged>" when it cannot be read.
std::string RecipientListOf(const std::string& encryptedFile);

}  // namespace qz::test
