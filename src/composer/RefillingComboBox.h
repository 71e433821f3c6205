#pragma once
#include <QComboBox>
#include <QStringList>

namespace composer {

// An editable box whose list is put back to its fixed entries each time it drops down, so
// what the user typed and confirmed with Enter does not pile up in it; the text stays.
class RefillingComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;

  void setEntries(const QStringList& entries);
  void showPopup() override;

 private:
  void refill();

  QStringList entries_;
};

}  // namespace composer
