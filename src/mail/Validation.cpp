#include "mail/Validation.h"

#include <QStringList>

#include "mail/HostLookup.h"
#include "mail/Ping.h"

namespace mail {

const char* const kTopLevelDomains =
    "AERO BIZ COM COOP EDU GOV INFO INT MIL MUSEUM NAME NET ORG PRO AC AD AE AF AG AI AL AM "
    "AN AO AQ AR AS AT AU AW AZ BA BB BD BE BF BG BH BI BJ BM BN BO BR BS BT BV BW BY BZ CA CC "
    "CD CF CG CH CI CK CL CM CN CO CR CU CV CX CY CZ DE DJ DK DM DO DZ EC EE EG EH ER ES ET FI "
    "FJ FK FM FO FR GA GD GE GF GG GH GI GL GM GN GP GQ GR GS GT GU GW GY HK HM HN HR HT HU ID "
    "IE IL IM IN IO IQ IR IS IT JE JM JO JP KE KG KH KI KM KN KP KR KW KY KZ LA LB LC LI LK LR "
    "LS LT LU LV LY MA MC MD MG MH MK ML MM MN MO MP MQ MR MS MT MU MV MW MX MY MZ NA NC NE NF "
    "NG NI NL NO NP NR NU NZ OM PA PE PF PG PH PK PL PM PN PR PS PT PW PY QA RE RO RU RW SA SB "
    "SC SD SE SG SH SI SJ SK SL SM SN SO SR ST SV SY SZ TC TD TF TG TH TJ TK TM TN TO TP TR TT "
    "TV TW TZ UA UG UK UM US UY UZ VA VC VE VG VI VN VU WF WS YE YT YU ZA ZM ZW";

namespace {

// Text that must never reach an SMTP command or a header line.
bool holdsLineBreak(const QString& text) {
  return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
         text.contains(QChar(0));
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
  if (labels.size() < 2) return false;
  // Any piece of the list passes, as the list has always been searched as one string.
  return QString::fromLatin1(kTopLevelDomains).contains(labels.last());
}

bool IsValidEmailAddress(const QString& AddressString) {
  if (holdsLineBreak(AddressString)) return false;
  const QStringList parts = AddressString.split(QLatin1Char('@'));
  return parts.size() == 2 && isValidHostName(parts[1]);
}

bool isValidAddressList(const QString& list, QChar delimiter, int emailValidationMode) {
  if (list.isEmpty()) return true;
  for (const QString& entry : list.split(delimiter)) {
    if (holdsLineBreak(entry)) return false;
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
      case 3: valid = !GetIPAddress(value).isEmpty(); break;
      default: break;
    }
  }
  if (valid && accepted) *accepted = value;
  return valid;
}

}  // namespace mail
