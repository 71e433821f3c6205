#include "contacts/PickedAddresses.h"

#include <QRegularExpression>

namespace contacts {

namespace {

// The addresses a field holds, whichever separator the user typed between them.
QStringList fieldAddresses(const QString& field) {
  static const QRegularExpression separators(QStringLiteral("[,;]"));
  QStringList out;
  for (const QString& a : field.split(separators)) out << a.trimmed();
  return out;
}

}  // namespace

QString FieldWithPicked(const QString& field, const QStringList& picked) {
  QString r = field.trimmed().size() > 4 ? field + QLatin1Char(',') : QString();
  const QStringList present = fieldAddresses(field);
  for (const QString& entry : picked) {
    const QString address = entry.trimmed();
    if (address.isEmpty() || present.contains(address)) continue;
    r += entry + QLatin1Char(',');
  }
  if (r.size() > 2) {
    r.chop(1);
    return r;
  }
  return field;
}

}  // namespace contacts
