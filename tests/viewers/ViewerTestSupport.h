#pragma once
// Shared by the viewers' tests: exports read back by third parties; the rest of the set-up is
// the common fixture's.
#include "core/SettingsStore.h"
#include "support/Fixture.h"

// Reads an exported file back with Python's csv or openpyxl (tests/peers/read_export.py).
inline QJsonDocument procitajIzvoz(const QStringList& argumenti) {
  QProcess p;
  p.start("/usr/bin/python3", QStringList{VELKOR_SOURCE_DIR "/tests/peers/read_export.py"} + argumenti);
  if (!p.waitForFinished(60000) || p.exitCode() != 0) {
    qWarning() << p.readAllStandardError();
    return {};
  }
  return QJsonDocument::fromJson(p.readAllStandardOutput());
}

// A PDF as poppler reads it: pages, the first page's size and the text.
struct Pdf {
  int stranica = 0;
  QString velicina, tekst;
};
inline Pdf procitajPdf(const QString& put) {
  Pdf pdf;
  QProcess p;
  p.start("pdfinfo", {put});
  p.waitForFinished(30000);
  for (const QString& red : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
    if (red.startsWith("Pages:")) pdf.stranica = red.mid(6).trimmed().toInt();
    if (red.startsWith("Page size:")) pdf.velicina = red.mid(10).simplified();
  }
  p.start("pdftotext", {"-enc", "UTF-8", put, "-"});
  p.waitForFinished(30000);
  pdf.tekst = QString::fromUtf8(p.readAllStandardOutput());
  return pdf;
}
