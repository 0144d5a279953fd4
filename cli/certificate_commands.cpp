// import, certs: filling and listing the user's certificate stores.
#include <cstdio>

#include "cert_store.h"
#include "commands.h"

namespace qz::cli {
namespace {

void ImportFile(const std::string& file, const std::string& password) {
  ImportResult result = ImportCertificateFile(file, password);
  if (!result.ok) return ReportError(result.error);
  std::printf("%s\t%s\n", result.serialText.c_str(), StoreName(result.store));
}

void ListStore(const std::string& storeName) {
  const Store store = storeName == "ADDRESSBOOK" ? Store::AddressBook : Store::My;
  for (const Certificate& cert : ReadStore(store)) {
    std::printf("%s\t%s\t%s\t%02X\n", CertSerialToText(cert).c_str(), SubjectSimpleName(cert).c_str(),
                IssuerSimpleName(cert).c_str(), KeyUsageByte(cert));
  }
}

}  // namespace

void AddCertificateCommands(CLI::App& app) {
  auto* import = app.add_subcommand("import", "add a certificate: with its private key to MY, else to ADDRESSBOOK");
  static std::string file, password;
  import->add_option("FILE", file, "PKCS#12 (.p12/.pfx), PEM or DER file")->required();
  import->add_option("--password", password, "password of a PKCS#12 file or of a PEM file's encrypted private key");
  import->callback([] { ImportFile(file, password); });

  auto* certs = app.add_subcommand("certs", "list a store: serial, subject, issuer, key usage");
  static std::string store = "MY";
  certs->add_option("STORE", store, "MY or ADDRESSBOOK")->check(CLI::IsMember({"MY", "ADDRESSBOOK"}));
  certs->callback([] { ListStore(store); });
}

}  // namespace qz::cli
