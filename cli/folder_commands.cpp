// encrypt, decrypt, default: the folder runs and the default certificate of the dialogs.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cert_store.h"
#include "commands.h"
#include "decryption_run.h"
#include "encryption_run.h"
#include "naming.h"
#include "narrow_text.h"
#include "run_messages.h"
#include "settings.h"

namespace qz::cli {
namespace {

bool StdoutIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(fileno(stdout)) != 0;
#endif
}

// A line per file on a terminal.
void ShowProgressLines(RunControl& control) {
  if (!StdoutIsTerminal()) return;
  control.progress = [shown = std::size_t{0}](const RunProgress& progress) mutable {
    if (progress.fileNumber == shown) return;
    shown = progress.fileNumber;
    std::printf("%s/%s %s\n", std::to_string(progress.fileNumber).c_str(), std::to_string(progress.fileCount).c_str(),
                progress.fileName.c_str());
    std::fflush(stdout);
  };
}

void Finish(RunEnd end) {
  if (end != RunEnd::Succeeded) g_exitCode = 1;
}

// A separator that completion leaves at the end would put the proposed folder inside the source
// (docs/ would give docs/.qz). Roots keep theirs.
std::string WithoutTrailingSeparators(std::string folder) {
  while (folder.size() > 1 && FindLastSeparator(folder) == folder.size() - 1 && folder[folder.size() - 2] != ':')
    folder.pop_back();
  return folder;
}

void EncryptFolder(const std::string& source, const std::string& destination, const std::vector<std::string>& serials,
                   unsigned jobs) {
  const SettingsFile settings = SettingsFile::OfUser();
  EncryptionInputs inputs{source, destination.empty() ? EncryptedFolderOf(source) : destination,
                          DefaultCertificateName(settings), {}};
  for (const std::string& serial : serials) inputs.otherCertificates.push_back({true, serial});
  ConsoleSink sink;
  RunControl control;
  control.jobs = jobs;
  ShowProgressLines(control);
  Finish(OnEncrypt(inputs, settings, sink, control));
}

void DecryptFolder(const std::string& source, const std::string& destination, const std::string& serial,
                   unsigned jobs) {
  ConsoleSink sink;
  // As the context menu refuses it: before anything, the default destination included, is made.
  if (!IsInEncryptedForm(source)) {
    sink.Show(message::kNotAnEncryptedFolder, caption::kRefused, MessageIcon::Information);
    return Finish(RunEnd::Refused);
  }
  SortedCertificateItems items;
  DecryptionInputs inputs{source, destination.empty() ? PlainNameOf(source) : destination, {}, {}};
  inputs.fileList = LoadDecryptionCertificates(source, items, sink);
  if (!serial.empty()) items.SelectSerial(serial);
  inputs.selectedItem = items.Selected();
  RunControl control;
  control.jobs = jobs;
  ShowProgressLines(control);
  Finish(OnDecrypt(inputs, sink, control));
}

void SetDefaultCertificate(const std::string& serial) {
  const auto cert = FindMyCertBySerial(serial);
  if (!cert) return ReportError("no certificate with serial " + serial + " in MY");
  const std::string name = SubjectSimpleName(*cert), serialText = CertSerialToText(*cert);
  if (!WriteDefaultCertificate(SettingsFile::OfUser(), name, serialText))
    return ReportError(std::string("the settings file ") + kSettingsFileName + " cannot be written");
  std::printf("%s\t%s\n", serialText.c_str(), name.c_str());
}

}  // namespace

void AddFolderCommands(CLI::App& app) {
  static std::string source, destination, serial;
  static std::vector<std::string> serials;
  static unsigned jobs = 0;
  const auto addJobs = [](CLI::App* command) {
    command->add_option("--jobs", jobs, "files worked on at once (default 0: one per core; 1: one after another)");
  };

  auto* enc = app.add_subcommand("encrypt", "encrypt the files directly in a folder for the default certificate "
                                            "and the --to certificates");
  enc->add_option("SRC", source, "folder to encrypt")->required();
  enc->add_option("--dest", destination, "folder of the encrypted files (default: SRC.qz)");
  enc->add_option("--to", serials, "serial text of a further recipient; repeat it, the order is kept")
      ->allow_extra_args(false);
  addJobs(enc);
  enc->callback([] { EncryptFolder(WithoutTrailingSeparators(source), destination, serials, jobs); });

  auto* dec = app.add_subcommand("decrypt", "decrypt an encrypted folder with a certificate among its first file's "
                                            "recipients");
  dec->add_option("SRC", source, "encrypted folder")->required();
  dec->add_option("--dest", destination, "folder of the plain files (default: SRC cut before its last z)");
  dec->add_option("--cert", serial, "serial text of the certificate to use (default: the first offered by name)");
  addJobs(dec);
  dec->callback([] { DecryptFolder(WithoutTrailingSeparators(source), destination, serial, jobs); });

  auto* def = app.add_subcommand("default", "make a certificate of MY the default certificate for encryption");
  def->add_option("SERIAL", serial, "serial text")->required();
  def->callback([] { SetDefaultCertificate(serial); });
}

}  // namespace qz::cli
