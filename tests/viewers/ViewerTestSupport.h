#pragma once
// Shared by the viewers' tests: exports read back by third parties, record sets from text,
// the windows' controls by name, and each test's scratch files, settings and boxes.
#include <QtTest>
#include <QtWidgets>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <memory>

#include "core/SettingsStore.h"
#include "platform/RecordSet.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

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

// A window's control by name; a misspelt name stops the test instead of crashing it.
template <class T = QWidget> T* dijete(QWidget* w, const QString& ime) {
  T* d = w->findChild<T*>(ime);
  if (!d) qFatal("nema %s", qPrintable(ime));
  return d;
}
inline void klikni(QWidget* w, const QString& gumb) { dijete<QPushButton>(w, gumb)->click(); }

// The window as a user sees it, in /tmp, when VELKOR_SCREENSHOTS is set.
inline void snimka(QWidget* w, const QString& ime) {
  if (qEnvironmentVariableIsSet("VELKOR_SCREENSHOTS")) w->grab().save("/tmp/" + ime + ".png");
}

inline QByteArray sadrzaj(const QString& put) {
  QFile f(put);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<nema>");
}

// A record set from rows of texts (nullptr = Null), converted by the field types.
inline platform::RecordSet skup(const QList<platform::RecordField>& polja,
                                const QList<QList<const char*>>& redovi) {
  platform::RecordSet rs(polja);
  for (const auto& red : redovi) {
    QList<QVariant> v;
    for (int i = 0; i < polja.size(); ++i) {
      const QString t = QString::fromUtf8(red.value(i));
      v << platform::RecordSet::fromText(red.value(i) ? &t : nullptr, polja[i].Type);
    }
    rs.AddRow(v);
  }
  rs.MoveFirst();
  return rs;
}

// Runs akcija once the modal window's loop runs; the window is hidden afterwards if it is
// still open, so that a failed check cannot leave the test waiting.
inline void uPetlji(QWidget* prozor, std::function<void()> akcija) {
  QPointer<QWidget> p(prozor);
  QTimer::singleShot(0, prozor, [p, akcija] {
    akcija();
    if (p && p->isVisible()) p->hide();
  });
}

// A recording stand-in (tests/peers/standin.sh) under a name, first on PATH for its life.
struct Zamjena {
  QTemporaryDir mapa;
  QByteArray stariPath = qgetenv("PATH");
  explicit Zamjena(const QString& ime) {
    QFile::link(VELKOR_SOURCE_DIR "/tests/peers/standin.sh", mapa.filePath(ime));
    qputenv("VELKOR_STANDIN_DIR", QFile::encodeName(mapa.path()));
    qputenv("PATH", QFile::encodeName(mapa.path()) + ':' + stariPath);
  }
  ~Zamjena() { qputenv("PATH", stariPath); }
  QString put(const QString& ime) const { return mapa.filePath(ime); }
  // The arguments of the first call, once it has been made.
  QStringList argumenti(const QString& ime) const {
    const QByteArray a = sadrzaj(mapa.filePath(ime + ".1.args"));
    return a == "<nema>" ? QStringList() : QString::fromUtf8(a.chopped(1)).split(QChar(0));
  }
};
