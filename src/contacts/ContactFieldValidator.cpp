#include "contacts/ContactFieldValidator.h"

namespace contacts {

bool ContactFieldValidator::isForbidden(QChar c) {
  return c == QLatin1Char(',') || c == QLatin1Char('\'') || c == QLatin1Char('`') || c == QLatin1Char('\r') ||
         c == QLatin1Char('\n');
}

QValidator::State ContactFieldValidator::validate(QString& input, int& pos) const {
  QString kept;
  kept.reserve(input.size());
  int newPos = pos;
  for (int i = 0; i < input.size(); ++i) {
    if (!isForbidden(input[i])) kept += input[i];
    else if (i < pos) --newPos;
  }
  input = kept;
  pos = newPos;
  return Acceptable;
}

}  // namespace contacts
