#include "button_looks.h"

#include "resource.h"

namespace qz {

const std::vector<ButtonLook>& EncryptionDialogButtons() {
  static const std::vector<ButtonLook> looks = {
      {IDC_CHANGE_CERT, IDB_BUTTON, "更改..."},   {IDC_UPPER_ENCRYPT, IDB_BUTTON, "加密"},
      {IDC_UPPER_CANCEL, IDB_BUTTON, "取消"},      {IDC_ADVANCED, IDB_BUTTON_WIDE, "高级设置..."},
      {IDC_SEARCH, IDB_BUTTON, "查询"},           {IDOK, IDB_BUTTON, "加密"},
      {IDCANCEL, IDB_BUTTON, "取消"},              {IDC_CHOOSE_SOURCE, IDB_BUTTON, "选择..."},
      {IDC_CHOOSE_DEST, IDB_BUTTON, "选择..."},   {IDC_VIEW_CERT, IDB_BUTTON, "查看证书"},
  };
  return looks;
}

const std::vector<ButtonLook>& DefaultCertificateDialogButtons() {
  static const std::vector<ButtonLook> looks = {
      {IDOK, IDB_BUTTON, "确定"},
      {IDCANCEL, IDB_BUTTON, "取消"},
  };
  return looks;
}

const std::vector<ButtonLook>& DecryptionDialogButtons() {
  static const std::vector<ButtonLook> looks = {
      {IDOK, IDB_BUTTON, "解密"},
      {IDCANCEL, IDB_BUTTON, "取消"},
      {IDC_CHOOSE_ENCRYPTED, IDB_BUTTON, "选择..."},
      {IDC_CHOOSE_PLAIN, IDB_BUTTON, "选择..."},
      {IDC_VIEW_DECRYPT_CERT, IDB_BUTTON_WIDE, "查看证书..."},
  };
  return looks;
}

}  // namespace qz
