#include "controls.h"

#include <commctrl.h>

#include "display_text.h"

namespace qz::ui {
namespace {
LPARAM TextParam(const std::string& text) { return reinterpret_cast<LPARAM>(text.c_str()); }
}  // namespace

void ListView::AddExtendedStyle(DWORD styles) {
  auto current = static_cast<DWORD>(SendMessageA(Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, current | styles);
}

int ListView::InsertColumn(int index, const std::string& header, int format, int width) {
  std::wstring text = OurText(header);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = format;
  column.cx = width;
  column.pszText = text.data();
  return static_cast<int>(SendMessageW(Handle(), LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)));
}

int ListView::InsertItem(int index, const std::string& text) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListView::SetItemText(int item, int column, const std::string& text) {
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = const_cast<char*>(text.c_str());
  return SendMessageA(Handle(), LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell)) != FALSE;
}

std::string ListView::ItemText(int item, int column) const {
  // The control gives no length: grow the buffer until the text fits with room to spare.
  for (std::size_t size = 256;; size *= 2) {
    std::string text(size, '\0');
    LVITEMA cell{};
    cell.iSubItem = column;
    cell.pszText = text.data();
    cell.cchTextMax = static_cast<int>(size);
    auto length = static_cast<std::size_t>(
        SendMessageA(Handle(), LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell)));
    if (length + 1 < size) {
      text.resize(length);
      return text;
    }
  }
}

int ListView::ItemCount() const {
  return static_cast<int>(SendMessageA(Handle(), LVM_GETITEMCOUNT, 0, 0));
}

bool ListView::IsSelected(int item) const {
  return SendMessageA(Handle(), LVM_GETITEMSTATE, item, LVIS_SELECTED) == LVIS_SELECTED;
}

bool ListView::IsChecked(int item) const {
  auto state = static_cast<UINT>(SendMessageA(Handle(), LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK));
  // State image 1 is the empty box, 2 the ticked one.
  return (state >> 12) == 2;
}

int ComboBox::AddString(const std::string& text) {
  auto index = static_cast<int>(SendMessageA(Handle(), CB_ADDSTRING, 0, TextParam(text)));
  return index < 0 ? -1 : index;
}

int ComboBox::Count() const { return static_cast<int>(SendMessageA(Handle(), CB_GETCOUNT, 0, 0)); }

int ComboBox::CurrentSelection() const {
  return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
}

bool ComboBox::SetCurrentSelection(int index) {
  return SendMessageA(Handle(), CB_SETCURSEL, index, 0) != CB_ERR;
}

std::string ComboBox::ItemText(int index) const {
  auto length = SendMessageA(Handle(), CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  auto copied = SendMessageA(Handle(), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == CB_ERR ? 0 : static_cast<std::size_t>(copied));
  return text;
}

}  // namespace qz::ui
