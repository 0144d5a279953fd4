// encrypt-file, decrypt-file, inspect: the engine on single files.
#include <cinttypes>
#include <cstdio>

#include "commands.h"
#include "file_cipher.h"
#include "file_format.h"
#include "file_io.h"

namespace qz::cli {
namespace {

void EncryptFile(const std::string& plain, const std::string& out, const std::vector<std::string>& serials) {
  std::string list;
  for (const auto& serial : serials) list += serial + "&";
  CFileCipher cipher;
  if (int code = cipher.EncryptOneFile(plain, out, list)) ReportFailure(code, cipher.ErrorText());
}

void DecryptFile(const std::string& encrypted, const std::string& out, const std::string& serial) {
  CFileCipher cipher;
  if (int code = cipher.DecryptOneFile(encrypted, out, serial)) ReportFailure(code, cipher.ErrorText());
}

void Inspect(const std::string& encrypted) {
  unique_file f = OpenFile(encrypted, "rb");
  if (!f) return ReportFailure(kOpenEncryptedFailed, text::kOpenEncrypted);
  std::uint64_t size = 0, ciphertextStart = 0;
  std::string list;
  std::vector<std::uint8_t> none;
  std::vector<std::uint32_t> lengths;
  if (!FileSize(f.get(), size) || !ReadRecipientList(f.get(), size, list)) return ReportFailure(kReadHeaderFailed, text::kReadHeader);
  if (!ReadKeyBlocks(f.get(), size, CountRecipients(list), kKeepNone, none, &lengths) || !Tell(f.get(), ciphertextStart))
    return ReportFailure(kReadHeaderFailed, text::kReadHeader);
  std::size_t i = 0;
  ForEachRecipient(list, [&](std::string_view serial) {
    std::printf("recipient\t%.*s\t%" PRIu32 "\n", int(serial.size()), serial.data(), lengths[i++]);
  });
  std::printf("ciphertext\t%" PRIu64 "\n", size - ciphertextStart);
}

}  // namespace

void AddFileCommands(CLI::App& app) {
  auto* enc = app.add_subcommand("encrypt-file", "encrypt one file for the certificates of the serials, in that order");
  static std::string plain, out, encrypted, serial;
  static std::vector<std::string> serials;
  enc->add_option("PLAIN", plain, "file to encrypt")->required();
  enc->add_option("OUT", out, "encrypted file to write")->required();
  enc->add_option("SERIAL", serials, "serial texts of the recipients' certificates")->required();
  enc->callback([] { EncryptFile(plain, out, serials); });

  auto* dec = app.add_subcommand("decrypt-file", "decrypt one file with the private key of a certificate in MY");
  dec->add_option("ENC", encrypted, "encrypted file")->required();
  dec->add_option("OUT", out, "plain file to write")->required();
  dec->add_option("SERIAL", serial, "serial text of the certificate to use")->required();
  dec->callback([] { DecryptFile(encrypted, out, serial); });

  auto* inspect = app.add_subcommand("inspect", "show an encrypted file's recipients, key block lengths and ciphertext length");
  inspect->add_option("ENC", encrypted, "encrypted file")->required();
  inspect->callback([] { Inspect(encrypted); });
}

}  // namespace qz::cli
