#pragma once
#include <QValidator>

namespace contacts {

// Keeps ",", "'", "`", CR and LF out of a contact's name and address, however they
// arrive (typed, pasted, dropped, set by code): they are taken out of the text, so a
// record written by the window never holds an extra comma or a line break.
class ContactFieldValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
  static bool isForbidden(QChar c);
};

}  // namespace contacts
