#include "composer/RefillingComboBox.h"

namespace composer {

void RefillingComboBox::setEntries(const QStringList& entries) {
  entries_ = entries;
  refill();
}

void RefillingComboBox::showPopup() {
  refill();
  QComboBox::showPopup();
}

// clear() empties the edit text too; the text shown before is kept, selected when it is one
// of the entries.
void RefillingComboBox::refill() {
  const QString text = currentText();
  const QSignalBlocker quiet(this);
  clear();
  addItems(entries_);
  setCurrentIndex(entries_.indexOf(text));
  if (isEditable()) setEditText(text);
}

}  // namespace composer
