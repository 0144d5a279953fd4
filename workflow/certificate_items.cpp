#include "certificate_items.h"

#include <algorithm>

#include "cert_store.h"
#include "naming.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <strings.h>
#endif

namespace qz {
namespace {

bool SortsBefore(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return lstrcmpiA(a.c_str(), b.c_str()) < 0;
#else
  return strcasecmp(a.c_str(), b.c_str()) < 0;
#endif
}

}  // namespace

void SortedCertificateItems::Add(const std::string& itemText) {
  const auto at = std::upper_bound(items_.begin(), items_.end(), itemText, SortsBefore);
  const std::size_t index = std::size_t(at - items_.begin());
  items_.insert(at, itemText);
  // The selection stays on its item, as a combo box keeps it.
  if (selected_ && *selected_ >= index) ++*selected_;
}

void SortedCertificateItems::SelectFirst() {
  selected_.reset();
  if (!items_.empty()) selected_ = 0;
}

void SortedCertificateItems::SelectSerial(const std::string& serialText) {
  selected_.reset();
  for (std::size_t i = 0; i < items_.size() && !selected_; ++i)
    if (SerialTextsEqual(SerialOfItem(items_[i]), serialText)) selected_ = i;
}

std::optional<std::string> SortedCertificateItems::Selected() const {
  if (!selected_) return std::nullopt;
  return items_[*selected_];
}

}  // namespace qz
