// What the dialog tests share: the test certificates in the prefix's stores, a fixture that
// records every message box and every viewer launch and closes what a test left open, and the
// hands of a person: clicks, typing, ticks, waiting for windows and screenshots.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "message_boxes.h"
#include "test_support.h"

namespace qz::test {

inline constexpr char kSigner[] = "5161";      // digital signature only
inline constexpr char kNoKeyUsage[] = "5162";  // without a key-usage extension
inline constexpr char kAliceName[] = "Alice 1024";
inline constexpr char kBobName[] = "Bob 2048";

struct Box {
  std::string text;
  std::string caption;
  MessageIcon icon;
  bool operator==(const Box& other) const {
    return text == other.text && caption == other.caption && icon == other.icon;
  }
};
std::ostream& operator<<(std::ostream& out, const Box& box);

struct Launch {
  std::string commandLine;
  std::vector<std::uint8_t> fileBytes;  // the file the command names, as it stood at launch
};

class DialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // The boxes shown so far, without their owners.
  std::vector<Box> Boxes() const;
  // Those shown after the first `count`.
  std::vector<Box> BoxesSince(std::size_t count) const;
  // The boxes shown so far all had this owner.
  bool AllOwnedBy(HWND owner) const;

  ui::RecordingMessageBoxes boxes{IDOK};
  std::vector<Launch> launches;
  ScratchDir scratch;
};

// The visible dialog of this thread with the title, once it is there.
HWND WaitForDialog(const std::string& title);
// Every visible dialog of this thread with the title.
std::vector<HWND> DialogsTitled(const std::string& title);
bool WaitGone(HWND window, DWORD timeoutMs = 60000);

std::string Text(HWND dialog, int id);
// A click on the button, as the mouse gives it; returns once its handler has returned.
void Click(HWND dialog, int id);
void Type(HWND dialog, int id, const std::string& text);
bool IsEnabled(HWND dialog, int id);
bool IsShown(HWND dialog, int id);
RECT WindowRectOf(HWND window);

// List-view rows: the texts of one column, and ticking or selecting a row.
std::vector<std::string> Column(HWND listView, int column);
void Tick(HWND listView, int row);
void Select(HWND listView, int row);

// Settings of the user as the dialogs read them; Clear removes every settings file.
void ClearSettings();
void SetDefaultCertificate(const std::string& name, const std::string& serial);
std::string SettingsText();  // the Windows directory's file as it stands

// A folder of files, each holding its name repeated to `size` bytes (at least once).
void MakeFolder(const std::string& folder, const std::vector<std::string>& names, std::size_t size = 0);
// Encrypts each file of `source` into `encrypted` for the recipients, as the run does.
void EncryptFolder(const std::string& source, const std::string& encrypted, const std::string& recipients);
// Decrypts with the engine and compares with the plain file.
bool DecryptsTo(const std::string& encryptedFile, const std::string& plainFile, const std::string& serial);
std::vector<std::string> FilesIn(const std::string& folder);

// The next folder chooser titled `title` is answered with `folder`, or cancelled without one.
std::unique_ptr<ModalAnswerer> AnswerFolderChooser(const std::string& title, std::optional<std::string> folder);
// The next file-save dialog titled `title` is answered with `path`, or cancelled without one;
// `initialName` receives the name it offered.
std::unique_ptr<ModalAnswerer> AnswerSaveDialog(const std::string& title, std::optional<std::string> path,
                                                std::string* initialName = nullptr);

std::vector<std::uint8_t> CertificateBytes(const std::string& certFile);

// Asks the test runner for a picture of the screen and waits for it, pumping messages so that
// every window is painted. Does nothing outside the runner.
void Screenshot(const std::string& name);

}  // namespace qz::test
