// Thin wrappers for the list-view and combo-box controls of the dialogs, bound like any other
// control (DataExchange::Control). Column headers are our texts; the rows' and items' texts are
// ANSI texts (display_text.h).
#pragma once

#include <windows.h>

#include <string>

#include "window.h"

namespace qz::ui {

class ListView : public Window {
 public:
  // Adds to the extended styles the control has already.
  void AddExtendedStyle(DWORD styles);
  // `format`: LVCFMT_LEFT, LVCFMT_CENTER, ...; returns the new column's index or -1.
  int InsertColumn(int index, const std::string& header, int format, int width);
  // Inserts a row with the text of column 0; returns its index or -1.
  int InsertItem(int index, const std::string& text);
  bool SetItemText(int item, int column, const std::string& text);
  std::string ItemText(int item, int column) const;
  int ItemCount() const;
  bool IsSelected(int item) const;
  // The state of the row's check box (LVS_EX_CHECKBOXES).
  bool IsChecked(int item) const;
};

class ComboBox : public Window {
 public:
  // Returns the index of the new item (its place in a sorted list) or -1.
  int AddString(const std::string& text);
  int Count() const;
  // The selected item's index, -1 when none is selected.
  int CurrentSelection() const;
  bool SetCurrentSelection(int index);
  // Empty for an index that names no item.
  std::string ItemText(int index) const;
};

}  // namespace qz::ui
