#include "mail/Validation.h"

#include <QRegularExpression>
#include <QStringList>

#include "mail/HostLookup.h"
#include "mail/Ping.h"

namespace mail {

namespace {

bool isTopLevelDomain(const QString& label) {
  static const QRegularExpression tld(QStringLiteral("^([A-Z]{2,63}|XN--[A-Z0-9-]+)$"));
  return label.size() <= 63 && tld.match(label).hasMatch();
}

bool isNumericPart(const QString& part, uint* value) {
  if (part.isEmpty() || part.size() > 10) return false;
  for (QChar c : part)
    if (!c.isDigit() || c.unicode() > 127) return false;
  bool ok = false;
  *value = part.toUInt(&ok);
  return ok;
}

}  // namespace

bool isDottedAddress(const QString& text) {
  const QStringList parts = text.split(QLatin1Char('.'));
  if (parts.size() != 4) return false;
  for (int i = 0; i < 4; ++i) {
    uint value = 0;
    if (!isNumericPart(parts[i], &value)) return false;
    if (value > (i == 0 ? 239u : 255u)) return false;
  }
  return true;
}

bool isValidHostName(const QString& host) {
  const QString name = host.trimmed().toUpper();
  if (name.isEmpty()) return false;
  if (isDottedAddress(name)) return true;
  const QStringList labels = name.split(QLatin1Char('.'));
  if (labels.size() < 2 || labels.contains(QString())) return false;
  return isTopLevelDomain(labels.last());
}

bool isSafeAddress(const QString& address) {
  for (QChar c : address)
    if (c.unicode() < 33 || c.unicode() == 127 || c == QLatin1Char('<') || c == QLatin1Char('>')) return false;
  return true;
}

bool IsValidEmailAddress(const QString& AddressString) {
  if (!isSafeAddress(AddressString)) return false;
  const QStringList parts = AddressString.split(QLatin1Char('@'));
  return parts.size() == 2 && isValidHostName(parts[1]);
}

bool isValidAddressList(const QString& list, QChar delimiter, int emailValidationMode) {
  if (list.isEmpty()) return true;
  for (const QString& entry : list.split(delimiter)) {
    if (!isSafeAddress(entry)) return false;
    if (emailValidationMode == 1 && !IsValidEmailAddress(entry)) return false;
  }
  return true;
}

bool checkHost(const QString& host, int mode, QString* accepted) {
  QString value = host;
  value.remove(QChar(0));
  bool valid = true;
  if (!value.isEmpty()) {
    switch (mode) {
      case 1: valid = isValidHostName(value); break;
      case 2: {
        QString rtt, size;
        bool match = false;
        valid = Ping(value, rtt, size, match);
        break;
      }
      case 3: valid = !lookUpAddressServingEvents(value).isEmpty(); break;
      default: break;
    }
  }
  if (valid && accepted) *accepted = value;
  return valid;
}

}  // namespace mail
