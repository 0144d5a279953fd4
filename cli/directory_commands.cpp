// directory, lookup: the directory server of the settings file, and the search there for other
// people's certificates that the encryption dialog's 查询 does.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cert_store.h"
#include "commands.h"
#include "directory_lookup.h"
#include "ini_file.h"
#include "settings.h"

namespace qz::cli {
namespace {

struct DirectoryChange {
  const char* key;
  std::string value;
  const char* option;
};

// What the settings file gives back whole: one line that its reader does not cut.
bool FitsSettingsFile(const std::string& value) {
  return value.size() < kIniTextBufferSize && value.find_first_of("\r\n") == std::string::npos;
}

// The first line of the file ("-": of standard input), without its line end. A password on the
// command line would be seen by every user of the machine.
bool ReadPasswordFile(const std::string& path, std::string& password) {
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) return false;
  }
  std::istream& in = path == "-" ? std::cin : file;
  password.clear();
  std::getline(in, password);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return !in.bad();
}

// The password is never shown, only whether there is one.
void ShowDirectory(const SettingsFile& settings) {
  std::printf("%s=%s\n", key::kDirectoryHost, settings.ReadText(key::kDirectoryHost).c_str());
  std::printf("%s=%d\n", key::kDirectoryPort, settings.ReadInt(key::kDirectoryPort));
  std::printf("%s=%s\n", key::kDirectoryBindName, settings.ReadText(key::kDirectoryBindName).c_str());
  const bool hasPassword = !settings.ReadText(key::kDirectoryPassword).empty();
  std::printf("%s %s\n", key::kDirectoryPassword, hasPassword ? "is set (not shown)" : "is empty");
}

// Every value is checked before the first is written, so that a refused one changes nothing.
void WriteDirectory(const std::vector<DirectoryChange>& changes) {
  for (const DirectoryChange& change : changes)
    if (!FitsSettingsFile(change.value))
      return ReportError(std::string(change.option) + " must be one line of at most 127 bytes");
  const SettingsFile settings = SettingsFile::OfUser();
#ifndef _WIN32
  // The home folder of the stores may not exist yet; the Windows directory always does.
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(settings.path()).parent_path(), ec);
#endif
  for (const DirectoryChange& change : changes)
    if (!settings.WriteText(change.key, change.value))
      return ReportError(std::string("the settings file ") + kSettingsFileName + " cannot be written");
  ShowDirectory(settings);
}

std::vector<std::string> AddressBookSerials() {
  std::vector<std::string> serials;
  for (const Certificate& cert : ReadStore(Store::AddressBook)) serials.push_back(CertSerialToText(cert));
  return serials;
}

void LookUp(const std::string& address) {
  DirectoryLookup lookup = LookUpDirectoryCertificates(address, SettingsFile::OfUser(), AddressBookSerials());
  std::string notAdded;
  if (lookup.end == LookupEnd::AddressBookFailed) {
    notAdded = lookup.rows.back().serial;
    lookup.rows.pop_back();
  }
  for (const DirectoryRow& row : lookup.rows)
    std::printf("%s\t%s\t%s\n", row.serial.c_str(), row.subject.c_str(), row.issuer.c_str());
  ConsoleSink sink;
  ShowLookupMessage(lookup, sink);
  if (!notAdded.empty()) return ReportError("the certificate " + notAdded + " cannot be added to ADDRESSBOOK");
  if (lookup.end != LookupEnd::Succeeded) g_exitCode = 1;
}

}  // namespace

void AddDirectoryCommands(CLI::App& app) {
  static std::string server, bindName, passwordFile, address;
  static int port = 0;

  auto* dir = app.add_subcommand("directory", "show the directory server of the settings file (QZIP, QZPORT, QZSDN, "
                                              "QZPASSWORD), or write the values given");
  auto* serverOption = dir->add_option("--server", server, "host name or address (QZIP)");
  auto* portOption = dir->add_option("--port", port, "TCP port (QZPORT)")->check(CLI::Range(0, 65535));
  auto* bindOption = dir->add_option("--bind-dn", bindName, "name to bind with, also the search base (QZSDN)");
  auto* passwordOption =
      dir->add_option("--password-file", passwordFile, "file whose first line is the bind password (QZPASSWORD); "
                                                       "- reads standard input");
  dir->callback([=] {
    std::vector<DirectoryChange> changes;
    if (serverOption->count()) changes.push_back({key::kDirectoryHost, server, "--server"});
    if (portOption->count()) changes.push_back({key::kDirectoryPort, std::to_string(port), "--port"});
    if (bindOption->count()) changes.push_back({key::kDirectoryBindName, bindName, "--bind-dn"});
    if (passwordOption->count()) {
      std::string password;
      if (!ReadPasswordFile(passwordFile, password)) return ReportError("cannot read " + passwordFile);
      changes.push_back({key::kDirectoryPassword, password, "the password"});
    }
    if (changes.empty()) return ShowDirectory(SettingsFile::OfUser());
    WriteDirectory(changes);
  });

  auto* lookup = app.add_subcommand("lookup", "search the directory for certificates by e-mail address (a trailing * "
                                              "matches the start) and add those that can encrypt to ADDRESSBOOK");
  lookup->add_option("EMAIL", address, "mail address to search for")->required();
  lookup->callback([] { LookUp(address); });
}

}  // namespace qz::cli
