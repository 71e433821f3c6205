#include "viewers/IzvozTablice.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QSaveFile>
#include <QTextDocument>
#include <algorithm>

#include "platform/SpreadsheetWriter.h"
#include "viewers/ModelZapisa.h"

namespace viewers {

using platform::SpreadsheetWriter;

namespace {

QString polje(const QString& t, const QString& sep) {
  if (!t.contains(sep) && !t.contains(QLatin1Char('"')) && !t.contains(QLatin1Char('\r')) &&
      !t.contains(QLatin1Char('\n')))
    return t;
  QString q = t;
  q.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + q + QLatin1Char('"');
}

QStringList zaglavlje(const ModelZapisa& m) {
  QStringList out;
  for (int s = 0; s < m.columnCount(); ++s) out << m.headerData(s, Qt::Horizontal).toString();
  return out;
}

}  // namespace

std::unique_ptr<QTextDocument> TablicaUDokument(const ModelZapisa& m, const QString& naslov) {
  QString html = QStringLiteral("<h3>%1</h3><table border=\"1\" cellspacing=\"0\" cellpadding=\"2\"><tr>")
                     .arg(naslov.toHtmlEscaped());
  for (const QString& h : zaglavlje(m)) html += QStringLiteral("<th>%1</th>").arg(h.toHtmlEscaped());
  html += QStringLiteral("</tr>");
  for (int r = 0; r < m.rowCount(); ++r) {
    html += QStringLiteral("<tr>");
    for (int s = 0; s < m.columnCount(); ++s) {
      const QModelIndex i = m.index(r, s);
      QString tekst = m.tekst(r, s).toHtmlEscaped();
      const QVariant boja = m.data(i, Qt::ForegroundRole);
      if (boja.isValid())
        tekst = QStringLiteral("<span style=\"color:%1\">%2</span>").arg(boja.value<QColor>().name(), tekst);
      if (m.data(i, Qt::FontRole).value<QFont>().bold()) tekst = QStringLiteral("<b>") + tekst + "</b>";
      const bool desno = m.data(i, Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
      html += QStringLiteral("<td%1>%2</td>").arg(desno ? QStringLiteral(" align=\"right\"") : QString(), tekst);
    }
    html += QStringLiteral("</tr>");
  }
  auto doc = std::make_unique<QTextDocument>();
  doc->setHtml(html + QStringLiteral("</table>"));
  return doc;
}

bool TablicaUTekst(const ModelZapisa& m, const QString& datoteka, const QString& separator, QString* greska) {
  QString tekst;
  auto red = [&](const QStringList& celije) {
    QStringList dijelovi;
    for (const QString& c : celije) dijelovi << polje(c, separator);
    tekst += dijelovi.join(separator) + QStringLiteral("\r\n");
  };
  red(zaglavlje(m));
  for (int r = 0; r < m.rowCount(); ++r) {
    QStringList celije;
    for (int s = 0; s < m.columnCount(); ++s) celije << m.tekst(r, s);
    red(celije);
  }
  QSaveFile f(datoteka);
  const QByteArray b = tekst.toUtf8();
  if (f.open(QIODevice::WriteOnly) && f.write(b) == b.size() && f.commit()) return true;
  if (greska) *greska = f.errorString();
  return false;
}

void TablicaUExcel(const ModelZapisa& m, const QString& datoteka) {
  SpreadsheetWriter w(datoteka, QStringLiteral("Sheet1"));
  const QStringList h = zaglavlje(m);
  QList<int> sirine;
  for (int s = 0; s < h.size(); ++s) {
    w.writeText(0, s, h[s], SpreadsheetWriter::Style::Bold);
    sirine << int(h[s].size());
  }
  for (int r = 0; r < m.rowCount(); ++r)
    for (int s = 0; s < m.columnCount(); ++s) {
      const QVariant v = m.vrijednost(r, s);
      if (!v.isValid() || v.isNull()) continue;
      const bool zbroj = m.jeRedZbroja(r);
      const int tip = m.tipStupca(s);
      sirine[s] = std::max<int>(sirine[s], int(std::min<qsizetype>(m.tekst(r, s).size(), 80)));
      if (v.typeId() == QMetaType::Bool) w.writeBool(r + 1, s, v.toBool());
      else if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate)
        w.writeDateTime(r + 1, s, v.toDateTime(), v.typeId() == QMetaType::QDate || tip == platform::adDBDate);
      else if (v.typeId() != QMetaType::QString && v.canConvert<double>())
        w.writeNumber(r + 1, s, v.toDouble(),
                      tip == platform::adCurrency || tip == platform::adNumeric ? SpreadsheetWriter::Style::Money
                      : zbroj                                                   ? SpreadsheetWriter::Style::Bold
                                                                                : SpreadsheetWriter::Style::Plain);
      else
        w.writeText(r + 1, s, v.toString(), zbroj ? SpreadsheetWriter::Style::Bold : SpreadsheetWriter::Style::Plain);
    }
  for (int s = 0; s < sirine.size(); ++s) w.setColumnWidth(s, std::max(sirine[s], 4) + 2.0);
  w.commit();
}

}  // namespace viewers
