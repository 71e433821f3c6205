#include "composer/PriloziZapisa.h"

#include <QFileInfo>

#include "composer/OsobnaPolja.h"
#include "composer/PoljaZapisa.h"
#include "platform/RecordSet.h"

namespace composer {

QStringList priloziZapisa(const QString& prilozi, const platform::RecordSet& rs) {
  QStringList putovi;
  for (const QString& put : popuniPolja(prilozi, rs, OblikPolja::Tekst).split(QLatin1Char(';')))
    if (!put.trimmed().isEmpty()) putovi << put.trimmed();
  return putovi;
}

QList<ZapisBezPriloga> zapisiBezPriloga(const QString& prilozi, const platform::RecordSet& rs) {
  QList<ZapisBezPriloga> bez;
  for (platform::RecordSet r = rs.Clone(); !r.Eof(); r.MoveNext()) {
    QStringList nedostaju;
    for (const QString& put : priloziZapisa(prilozi, r)) {
      const QFileInfo f(put);
      if (!f.isFile() || !f.isReadable()) nedostaju << put;
    }
    if (nedostaju.isEmpty()) continue;
    bez << ZapisBezPriloga{r.Bookmark().toLongLong(), tekstPolja(r, QStringLiteral("Ime")) + QStringLiteral(" <") +
                                                          tekstPolja(r, QStringLiteral("EMail")) +
                                                          QStringLiteral(">: ") + nedostaju.join(QStringLiteral(", "))};
  }
  return bez;
}

}  // namespace composer
