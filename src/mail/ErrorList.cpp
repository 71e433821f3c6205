#include "mail/ErrorList.h"

namespace mail {

void ErrorList::add(const QString& text) {
  if (!entries_.contains(text, Qt::CaseInsensitive)) entries_.append(text);
}

void ErrorList::remove(const QString& text) {
  entries_.removeIf([&](const QString& e) { return e.compare(text, Qt::CaseInsensitive) == 0; });
}

QString ErrorList::take() {
  QString all;
  for (const QString& e : std::as_const(entries_)) all += e + QStringLiteral("\r\n");
  entries_.clear();
  return all;
}

}  // namespace mail
