#include "composer/OsobnaPolja.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "platform/RecordSet.h"

namespace composer {

namespace {

// Whatever stands between "{{" and "}}" (a short stretch: braces far apart are text);
// whether it is a name is decided after.
const QRegularExpression& uZagradama() {
  static const QRegularExpression re(QStringLiteral("\\{\\{([^{}]{0,100})\\}\\}"));
  return re;
}

// The column name a field's inside stands for; empty when it is no name.
QString imePolja(QString unutra) {
  static const QRegularExpression razmaci(QStringLiteral("&nbsp;|&#160;|[\\t\\x{00A0}]"));
  static const QRegularExpression ime(QStringLiteral("^[\\p{L}\\p{M}\\p{Nd}_]+(?: [\\p{L}\\p{M}\\p{Nd}_]+)*$"));
  unutra = unutra.replace(razmaci, QStringLiteral(" ")).simplified();
  return ime.match(unutra).hasMatch() ? unutra : QString();
}

const QLocale& hrvatski() {
  static const QLocale l(QLocale::Croatian, QLocale::Croatia);
  return l;
}

// The sign is the plain "-" of whole numbers, not the locale's minus character, so that a
// figure pasted elsewhere still reads as a number.
QString decimalni(double d) {
  if (!std::isfinite(d)) return QString::number(d);
  QString t = hrvatski().toString(std::fabs(d), 'f', 6);
  if (d < 0) t.prepend(QLatin1Char('-'));
  const QChar zarez = hrvatski().decimalPoint().at(0);
  while (t.endsWith(QLatin1Char('0')) && t.size() - t.lastIndexOf(zarez) > 3) t.chop(1);
  return t;
}

QString datum(const QDateTime& dt) {
  QString t = dt.date().toString(QStringLiteral("dd.MM.yyyy."));
  const QTime v = dt.time();
  if (v.isValid() && v != QTime(0, 0))
    t += v.toString(v.second() ? QStringLiteral(" HH:mm:ss") : QStringLiteral(" HH:mm"));
  return t;
}

QString zaHtml(const QString& vrijednost) {
  QString t = vrijednost.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
  return t.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"))
      .replace(QLatin1Char('\n'), QStringLiteral("<br>"))
      .replace(QLatin1Char('\r'), QStringLiteral("<br>"));
}

QString zaPredmet(QString vrijednost) {
  static const QRegularExpression prijelom(QStringLiteral("[\\r\\n]+"));
  return vrijednost.replace(prijelom, QStringLiteral(" "));
}

}  // namespace

QString tekstVrijednosti(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return {};
  switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("Da") : QStringLiteral("Ne");
    case QMetaType::Double:
    case QMetaType::Float: return decimalni(v.toDouble());
    case QMetaType::QDate: return datum(QDateTime(v.toDate(), QTime(0, 0)));
    case QMetaType::QDateTime: return datum(v.toDateTime());
    case QMetaType::QTime: {
      const QTime t = v.toTime();
      return t.toString(t.second() ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    }
    default: return v.toString();  // whole numbers as their digits, texts as they are
  }
}

QStringList poljaUTekstu(const QStringList& tekstovi) {
  QStringList imena;
  for (const QString& tekst : tekstovi) {
    if (!tekst.contains(QStringLiteral("{{"))) continue;
    for (auto it = uZagradama().globalMatch(tekst); it.hasNext();) {
      const QString ime = imePolja(it.next().captured(1));
      if (!ime.isEmpty() && !imena.contains(ime, Qt::CaseInsensitive)) imena << ime;
    }
  }
  return imena;
}

QStringList nepoznataPolja(const QStringList& tekstovi, const platform::RecordSet& rs) {
  QStringList nepoznata;
  for (const QString& tekst : tekstovi) {
    if (!tekst.contains(QStringLiteral("{{"))) continue;
    for (auto it = uZagradama().globalMatch(tekst); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      const QString ime = imePolja(m.captured(1));
      const QString oznaka = ime.isEmpty() ? m.captured(0) : oznakaPolja(ime);
      if ((ime.isEmpty() || rs.FieldIndex(ime) < 0) && !nepoznata.contains(oznaka, Qt::CaseInsensitive))
        nepoznata << oznaka;
    }
  }
  return nepoznata;
}

QString popuniPolja(const QString& tekst, const platform::RecordSet& rs, OblikPolja oblik) {
  if (!tekst.contains(QStringLiteral("{{"))) return tekst;
  QString izlaz;
  qsizetype od = 0;
  for (auto it = uZagradama().globalMatch(tekst); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    const QString ime = imePolja(m.captured(1));
    if (ime.isEmpty() || rs.FieldIndex(ime) < 0) continue;
    const QString vrijednost = tekstVrijednosti(rs.Value(ime));
    izlaz += QStringView(tekst).mid(od, m.capturedStart() - od);
    izlaz += oblik == OblikPolja::Html ? zaHtml(vrijednost) : zaPredmet(vrijednost);
    od = m.capturedEnd();
  }
  izlaz += QStringView(tekst).mid(od);
  return izlaz;
}

QString oznakaPolja(const QString& ime) { return QStringLiteral("{{") + ime + QStringLiteral("}}"); }

}  // namespace composer
