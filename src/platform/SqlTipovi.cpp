#include "platform/SqlTipovi.h"

#include <sqlite3.h>
#include <QDateTime>
#include <QSqlQuery>
#include <QSqlResult>

#include "platform/RecordSet.h"

namespace platform {

int adoTipDeklaracije(const QString& deklaracija) {
  const QString d = deklaracija.toUpper();
  const auto ima = [&d](const char* s) { return d.contains(QLatin1String(s)); };
  if (ima("DATETIME") || ima("TIMESTAMP")) return adDBTimeStamp;
  if (ima("DATE")) return adDBDate;
  if (ima("MONEY")) return adCurrency;
  if (ima("DECIMAL") || ima("NUMERIC")) return adNumeric;
  if (ima("BOOL") || ima("BIT")) return adBoolean;
  if (ima("BIGINT")) return adBigInt;
  if (ima("SMALLINT") || ima("TINYINT")) return adSmallInt;
  if (ima("INT")) return adInteger;
  if (ima("REAL") || ima("FLOA") || ima("DOUB")) return adDouble;
  return 0;
}

QList<int> deklariraniTipovi(const QSqlQuery& upit) {
  QList<int> tipovi;
  const QSqlResult* r = upit.result();
  const QVariant h = r ? r->handle() : QVariant();
  if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3_stmt*") != 0) return tipovi;
  sqlite3_stmt* stmt = *static_cast<sqlite3_stmt* const*>(h.constData());
  if (!stmt) return tipovi;
  for (int i = 0, n = sqlite3_column_count(stmt); i < n; ++i) {
    const char* d = sqlite3_column_decltype(stmt, i);
    tipovi << (d ? adoTipDeklaracije(QString::fromUtf8(d)) : 0);
  }
  return tipovi;
}

QVariant uDeklariraniTip(const QVariant& v, int adoTip) {
  if (!v.isValid() || v.isNull() || adoTip == 0) return v;
  if (v.typeId() == QMetaType::QString) {
    const QString t = v.toString();
    return RecordSet::fromText(&t, adoTip);
  }
  switch (adoTip) {
    case adBoolean: return QVariant(v.toLongLong() != 0);
    case adNumeric:
    case adCurrency:
    case adDouble: return QVariant(v.toDouble());
    default: return v;
  }
}

}  // namespace platform
