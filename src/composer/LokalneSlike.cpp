#include "composer/LokalneSlike.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace composer {
namespace {

// The attribute value as the serializer writes it.
QString kaoAtribut(QString v) {
  return v.replace(QLatin1Char('&'), QLatin1String("&amp;"))
      .replace(QLatin1Char('"'), QLatin1String("&quot;"))
      .replace(QChar(0xA0), QLatin1String("&nbsp;"));
}

// name, or name-2.ext, name-3.ext … when a name already used (in any case) is taken.
QString slobodnoIme(const QString& ime, const QSet<QString>& zauzeta) {
  const QFileInfo fi(ime);
  const QString osnova = fi.completeBaseName();
  const QString nastavak = fi.suffix().isEmpty() ? QString() : QLatin1Char('.') + fi.suffix();
  QString kandidat = ime;
  for (int n = 2; zauzeta.contains(kandidat.toLower()); ++n)
    kandidat = osnova + QLatin1Char('-') + QString::number(n) + nastavak;
  return kandidat;
}

}  // namespace

QString lokalnaDatoteka(const QString& izvor, const QUrl& dokument) {
  const QString s = izvor.trimmed();
  if (s.isEmpty()) return {};
  QString put;
  if (s.startsWith(QLatin1Char('/'))) {
    put = s;
  } else {
    const QUrl url(s);
    if (url.isLocalFile())
      put = url.toLocalFile();
    else if (url.isRelative() && dokument.isLocalFile())
      put = dokument.resolved(url).toLocalFile();
  }
  return !put.isEmpty() && QFileInfo(put).isFile() ? QFileInfo(put).absoluteFilePath() : QString();
}

SlikeZaSlanje pripremiLokalneSlike(const QString& html, const QStringList& izvori,
                                   const QUrl& dokument, const QString& kopije) {
  SlikeZaSlanje out{html, {}};
  QHash<QString, QString> imeZaPut;  // file → name it travels under
  QSet<QString> zauzeta;
  for (const QString& izvor : izvori) {
    const QString put = lokalnaDatoteka(izvor, dokument);
    if (put.isEmpty()) continue;
    if (!imeZaPut.contains(put)) {
      QString ime = QFileInfo(put).fileName();
      ime.replace(QLatin1Char(';'), QLatin1Char('_'));
      ime = slobodnoIme(ime, zauzeta);
      QString prilog = put;
      if (ime != QFileInfo(put).fileName()) {
        // The engine names a part after its file: another name needs a copy.
        prilog = QDir(kopije).filePath(ime);
        QFile::remove(prilog);
        if (!QFile::copy(put, prilog)) continue;
      }
      zauzeta.insert(ime.toLower());
      imeZaPut.insert(put, ime);
      out.putanje << prilog;
    }
    const QString ime = imeZaPut.value(put);
    for (const QChar q : {QLatin1Char('"'), QLatin1Char('\'')})
      out.html.replace(QStringLiteral("src=") + q + kaoAtribut(izvor) + q,
                       QStringLiteral("src=") + q + kaoAtribut(ime) + q);
  }
  return out;
}

}  // namespace composer
