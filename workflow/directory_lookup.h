// The directory lookup of other people's certificates by e-mail address: the search of the LDAP
// directory named in the settings file, the choice of the certificates that can encrypt, and
// their addition to "ADDRESSBOOK". Free of windows: the encryption dialog and qzfolder share it.
//
// How the encryption dialog's OnSearchDirectory (button 1016, 查询) uses it:
//  1. Exchange the controls to the fields, so that the search text holds what box 1014 shows.
//  2. If RefuseSearchText(text) gives a message, show it (MessageBoxA with the dialog as owner:
//     text, caption, icon) and end there: no busy window, no connection. This covers the empty
//     text ("请您必需输入要查询的电子邮件!") and a text too long for the filter.
//  3. Create the busy window CshowDlg ("正在查询,请稍等.....", template 105) with the dialog as
//     parent, centred over the dialog: x = D.left + (D.width - w) / 2, y = D.top + (D.height -
//     h) / 2 with the dialog's window rectangle D and the busy window's client size w x h;
//     MoveWindow (repainting), SW_SHOW, UpdateWindow.
//  4. Collect the serial texts of the list's rows (column 2), then run
//     LookUpDirectoryCertificates(text, SettingsFile::OfUser(), serials) on a thread of its own,
//     the way the folder runs are run, so that the dialog and the busy window keep painting. It
//     touches no window and calls no sink; it may take up to 10 s to connect and bind and 30 s
//     to search.
//  5. Back on the dialog's thread: destroy the busy window, append each returned row after the
//     rows there were (subject in column 0, issuer in 1, serial in 2; check box unticked), then
//     ShowLookupMessage(result, sink) with a sink that shows message boxes owned by the dialog.
//     The four messages of a search, all "信息提示" with MB_ICONINFORMATION:
//       "查找失败,可能是配置文件夹出错!"       no connection, or the bind failed
//       "查找失败!"                         the search failed, ran out of time or found no value
//       "查询成功,将所查询的证书写入列表中!"   every value handled (also when all were skipped)
//       "查询LDAP上可能加密证书时产生异常!"    a failure while the values were handled
//     When adding a certificate to "ADDRESSBOOK" fails, the rows up to it are returned and no
//     message is shown.
// Rows found this way take part in the next run when ticked, like any other row.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "folder_run.h"
#include "ldap_client.h"
#include "settings.h"

namespace qz {

namespace message {
inline constexpr char kNoSearchText[] = "请您必需输入要查询的电子邮件!";
// The filter "(mail=...)" holds 127 bytes: a longer text would be cut, and another address sought.
inline constexpr char kSearchTextTooLong[] = "要查询的电子邮件太长,不能超过120个字节!";
inline constexpr char kDirectoryUnusable[] = "查找失败,可能是配置文件夹出错!";
inline constexpr char kNothingFound[] = "查找失败!";
inline constexpr char kLookupSucceeded[] = "查询成功,将所查询的证书写入列表中!";
inline constexpr char kLookupException[] = "查询LDAP上可能加密证书时产生异常!";
}  // namespace message

inline constexpr char kMailAttribute[] = "mail";
inline constexpr char kCertificateAttribute[] = "userCertificate";
inline constexpr int kDirectoryTimeLimitSeconds = 30;
inline constexpr std::size_t kMaxCertValues = 149;
inline constexpr std::size_t kFilterBufferSize = 128;

// The certificate values of one search, in the order the directory sent them; at most 149. The
// list owns its values and releases them with itself.
using CertValues = std::vector<std::vector<std::uint8_t>>;

// "(attribute=value)", the value unescaped so that an asterisk keeps its meaning; nothing when
// the filter would not fit its 128-byte buffer.
std::optional<std::string> BuildFilter(const std::string& attribute, const std::string& value);

// Adds the values of one attribute to the list; an attribute whose values could not be read
// (null) adds nothing. False once the list holds 149 values: nothing further is to be read.
bool TakeAttributeValues(const std::vector<ldap::ValueView>* values, CertValues& list);

class CLdapCertSearch {
 public:
  // Binds to the server and searches below the bind name for entries whose attribute matches
  // the value, collecting the values of every attribute the server returns for them (with
  // "userCertificate" asked for, OpenLDAP names it "userCertificate;binary"). Nothing when the
  // directory cannot be used (no connection, the bind failed, or a filter too long to send); an
  // empty list when the search failed, ran out of time or found no value. The connection stays
  // open until the object ends.
  std::optional<CertValues> SearchCertificates(const std::string& server, int port, const std::string& bindName,
                                               const std::string& password, const std::string& attribute,
                                               const std::string& value, int timeLimitSeconds);

 private:
  std::unique_ptr<ldap::Connection> m_connection;
};

// Whether a serial text is among the listed ones, without regard to case.
bool IsSerialListed(const std::vector<std::string>& listedSerials, const std::string& serialText);

struct DirectoryRow {
  std::string subject;
  std::string issuer;
  std::string serial;
};

enum class LookupEnd {
  Succeeded,           // the success message
  Failed,              // a refusal, a failure or an exception: its message says which
  AddressBookFailed,   // a certificate could not be added to "ADDRESSBOOK": no message
};

struct DirectoryLookup {
  LookupEnd end = LookupEnd::Failed;
  std::vector<DirectoryRow> rows;  // to append in this order, after the rows listed before
  std::optional<RunMessage> message;
};

// The message that refuses a search text before anything else happens: the empty text, and a
// text too long for the filter. Nothing when the text can be searched for.
std::optional<RunMessage> RefuseSearchText(const std::string& searchText);

// Looks the text up as the mail address in the directory of the settings (QZIP, QZPORT, QZSDN,
// QZPASSWORD, read in that order), and for each value that is a certificate allowing key or
// data encipherment, whose serial is neither listed nor found before: a row, and the
// certificate added to "ADDRESSBOOK". Callable from any thread; throws nothing.
DirectoryLookup LookUpDirectoryCertificates(const std::string& searchText, const SettingsFile& settings,
                                            std::vector<std::string> listedSerials);

void ShowLookupMessage(const DirectoryLookup& lookup, MessageSink& sink);

}  // namespace qz
