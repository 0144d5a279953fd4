// The small semi-transparent window "正在查询,请稍等....." that stands over the encryption
// dialog while a directory search blocks its thread. Plain dialog look, no input.
#pragma once

#include <windows.h>

#include "dialog.h"

namespace qz {

class CshowDlg : public ui::Dialog {
 public:
  explicit CshowDlg(HWND parent = nullptr);

  // Centres the window over `owner`, shows it and paints it at once, as it will get no
  // further messages until the search returns.
  void ShowOver(HWND owner);

 protected:
  BOOL OnInitDialog() override;
};

}  // namespace qz
