#include "composer/RefillingComboBox.h"

void RefillingComboBox::setEntries(const QStringList& entries) {
  m_entries = entries;
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
  addItems(m_entries);
  setCurrentIndex(m_entries.indexOf(text));
  if (isEditable()) setEditText(text);
}
