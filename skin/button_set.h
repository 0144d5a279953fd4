// The skinned buttons of one dialog made from a looks table (button_looks.h): bound to their
// controls and set up the way every dialog of the system sets its buttons up.
#pragma once

#include <deque>
#include <vector>

#include "button_looks.h"
#include "dialog.h"
#include "skin_button.h"

namespace qz {

class SkinButtonSet {
 public:
  explicit SkinButtonSet(const std::vector<ButtonLook>& looks) : m_looks(looks), m_buttons(looks.size()) {}

  // From the dialog's DoDataExchange: binds each button to the control of its identifier.
  void Bind(ui::DataExchange& exchange) {
    for (std::size_t i = 0; i < m_looks.size(); ++i) exchange.Control(m_looks[i].id, m_buttons[i]);
  }
  // From the dialog's OnInitDialog: each button's bitmap and caption, in the table's order.
  void SetUp() {
    for (std::size_t i = 0; i < m_looks.size(); ++i)
      SetUpDialogButton(m_buttons[i], m_looks[i].bitmap, m_looks[i].caption);
  }
  CSkinBtn& operator[](std::size_t index) { return m_buttons[index]; }

 private:
  const std::vector<ButtonLook>& m_looks;
  std::deque<CSkinBtn> m_buttons;  // buttons stay where they are: each is bound to its window
};

}  // namespace qz
