// The decryption dialog's drop-down of certificate items ("name(serial)"): sorted by text, it
// only grows, and every scan selects its first item. The dialog keeps it in a sorted combo box;
// the command-line tool and the tests keep it in SortedCertificateItems.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qz {

class CertificateItemList {
 public:
  virtual ~CertificateItemList() = default;
  virtual void Add(const std::string& itemText) = 0;
  virtual void SelectFirst() = 0;  // nothing is selected while the list is empty
};

class SortedCertificateItems : public CertificateItemList {
 public:
  // Sorted as a sorted combo box sorts: without regard to case, equal items after each other.
  void Add(const std::string& itemText) override;
  void SelectFirst() override;
  // The first item whose serial equals the serial text (any case); nothing when none does.
  void SelectSerial(const std::string& serialText);

  const std::vector<std::string>& items() const { return items_; }
  std::optional<std::string> Selected() const;

 private:
  std::vector<std::string> items_;
  std::optional<std::size_t> selected_;
};

}  // namespace qz
