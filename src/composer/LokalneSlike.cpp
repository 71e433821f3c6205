#include "composer/LokalneSlike.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>

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

// An SVG document: XML whose first element is <svg>, within the first KB.
bool svgTekst(const QByteArray& pocetak) {
  static const QRegularExpression korijen(
      QStringLiteral("^\\x{FEFF}?\\s*(?:<\\?xml[^>]*\\?>\\s*)?(?:(?:<!--.*?-->|<!DOCTYPE[^>]*>)\\s*)*<svg[\\s>/]"),
      QRegularExpression::DotMatchesEverythingOption);
  return korijen.match(QString::fromUtf8(pocetak)).hasMatch();
}

}  // namespace

bool slikovnaDatoteka(const QString& put) {
  QFile f(put);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray p = f.read(1024);
  if (p.startsWith("\x89PNG\r\n\x1a\n") || p.startsWith("\xff\xd8\xff") || p.startsWith("GIF87a") ||
      p.startsWith("GIF89a") || (p.startsWith("RIFF") && p.mid(8, 4) == "WEBP"))
    return true;
  // "BM" alone starts too many texts: the header that follows must have a known size.
  if (p.startsWith("BM") && p.size() >= 18) {
    const quint32 zaglavlje = qFromLittleEndian<quint32>(p.constData() + 14);
    if (QList<quint32>{12, 16, 40, 52, 56, 64, 108, 124}.contains(zaglavlje)) return true;
  }
  return svgTekst(p);
}

void lokalneDatoteke(const QStringList& izvori, const QUrl& dokument, QStringList* slike, QStringList* ostale) {
  for (const QString& izvor : izvori) {
    const QString put = lokalnaDatoteka(izvor, dokument);
    if (put.isEmpty() || slike->contains(put) || ostale->contains(put)) continue;
    (slikovnaDatoteka(put) ? slike : ostale)->append(put);
  }
}

QString tekstOdbijenihSlika(const QStringList& odbijene) {
  constexpr int kNajvise = 10;  // the box must fit the screen
  QStringList popis = odbijene.mid(0, kNajvise);
  if (odbijene.size() > kNajvise) popis << QStringLiteral("… i još %1").arg(odbijene.size() - kNajvise);
  const bool jedna = odbijene.size() == 1;
  return (jedna ? QStringLiteral("Slika u dokumentu nije slikovna datoteka i neće se poslati:\r\n")
                : QStringLiteral("Slike u dokumentu nisu slikovne datoteke i neće se poslati:\r\n")) +
         popis.join(QStringLiteral("\r\n")) +
         (jedna ? QStringLiteral("\r\nUklonite je iz dokumenta. Ništa nije poslano.")
                : QStringLiteral("\r\nUklonite ih iz dokumenta. Ništa nije poslano."));
}

QString lokalnaDatoteka(const QString& izvor, const QUrl& dokument) {
  const QString s = izvor.trimmed();
  if (s.isEmpty()) return {};
  QString put;
  if (s.startsWith(QLatin1Char('/'))) {
    put = s;
  } else {
    const QUrl url(s);
    if (url.isLocalFile()) put = url.toLocalFile();
    else if (url.isRelative() && dokument.isLocalFile()) put = dokument.resolved(url).toLocalFile();
  }
  return !put.isEmpty() && QFileInfo(put).isFile() ? QFileInfo(put).absoluteFilePath() : QString();
}

SlikeZaSlanje pripremiLokalneSlike(const QString& html, const QStringList& izvori, const QUrl& dokument,
                                   const QString& kopije) {
  SlikeZaSlanje out{html, {}, {}};
  QHash<QString, QString> imeZaPut;  // file → name it travels under
  QSet<QString> zauzeta;
  for (const QString& izvor : izvori) {
    const QString put = lokalnaDatoteka(izvor, dokument);
    if (put.isEmpty() || out.odbijene.contains(put)) continue;
    if (!imeZaPut.contains(put) && !slikovnaDatoteka(put)) {
      // Any readable file can be named by an <img>: only images travel.
      out.odbijene << put;
      continue;
    }
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
