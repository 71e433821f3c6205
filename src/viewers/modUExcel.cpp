#include "viewers/modUExcel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/ProgramLauncher.h"
#include "platform/RecordSet.h"
#include "platform/SpreadsheetWriter.h"
#include "viewers/CsvFormat.h"
#include "viewers/frmOfficeExportPost.h"

namespace viewers {

using platform::RecordSet;
using platform::SpreadsheetWriter;
using Style = SpreadsheetWriter::Style;

namespace {

// Strict where the other windows fall back silently: a stored value that is not a
// Boolean is a failure the user should see.
bool procitajLogicku(const QString& kljuc) {
  const QString t = core::VelkorSetting(kljuc).trimmed();
  if (t.isEmpty()) return false;
  for (const char* da : {"True", "-1", "1"})
    if (t.compare(QLatin1String(da), Qt::CaseInsensitive) == 0) return true;
  for (const char* ne : {"False", "0"})
    if (t.compare(QLatin1String(ne), Qt::CaseInsensitive) == 0) return false;
  throw platform::SpreadsheetError(
      QStringLiteral("Postavka \"%1\" nema logičku vrijednost: %2").arg(kljuc, t).toStdString());
}

bool samoDatum(const QVariant& v, int tip) { return v.typeId() == QMetaType::QDate || tip == platform::adDBDate; }

// Writes one value by its type; returns the width of its shown text.
int zapisiVrijednost(SpreadsheetWriter& w, int red, int stupac, const QVariant& v, int tip) {
  if (!v.isValid() || v.isNull()) return 0;
  switch (v.typeId()) {
    case QMetaType::Bool: w.writeBool(red, stupac, v.toBool()); return 5;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
      w.writeDateTime(red, stupac, v.toDateTime(), samoDatum(v, tip));
      return samoDatum(v, tip) ? 10 : 19;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: {
      const bool novac = tip == platform::adCurrency || tip == platform::adNumeric;
      w.writeNumber(red, stupac, v.toDouble(), novac ? Style::Money : Style::Plain);
      const QString t = novac ? QLocale::c().toString(v.toDouble(), 'f', 2) : tekstBroja(v);
      return int(t.size()) + (novac ? int(t.size()) / 4 : 0);
    }
    default: {
      const QString t = v.toString();
      w.writeText(red, stupac, t);
      return int(std::min<qsizetype>(t.size(), 80));
    }
  }
}

// Workbooks opened without a file name, removed when the host exits: each with the time
// and size it was written with, so that one the user saved over in place is kept.
struct PrivremenaKnjiga {
  QString put;
  QDateTime vrijeme;
  qint64 velicina = 0;
};

struct PrivremeneKnjige {
  QList<PrivremenaKnjiga> knjige;
  ~PrivremeneKnjige() { počisti(); }
  void počisti() {
    for (const PrivremenaKnjiga& k : std::exchange(knjige, {})) {
      const QFileInfo fi(k.put);
      if (fi.exists() && fi.lastModified() == k.vrijeme && fi.size() == k.velicina) QFile::remove(k.put);
      QDir().rmdir(fi.absolutePath());  // only when nothing else was saved there
    }
  }
};

PrivremeneKnjige& privremeneKnjige() {
  static PrivremeneKnjige p;
  return p;
}

void zapamtiPrivremenu(const QString& put) {
  // The host's application may end long before the process does; whichever comes first.
  static const bool prijavljeno = (qAddPostRoutine(PocistiPrivremeneKnjige), true);
  Q_UNUSED(prijavljeno);
  const QFileInfo fi(put);
  privremeneKnjige().knjige << PrivremenaKnjiga{put, fi.lastModified(), fi.size()};
}

QString privatnaDatoteka() {
  // A folder of our own that outlives this call: the spreadsheet program reads it later.
  QTemporaryDir mapa(QDir::tempPath() + QStringLiteral("/velkor-excel-XXXXXX"));
  if (!mapa.isValid()) throw platform::SpreadsheetError("Privremena mapa za radnu knjigu se ne može napraviti.");
  mapa.setAutoRemove(false);
  QFile::setPermissions(mapa.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return mapa.path() + QStringLiteral("/Izvoz ") +
         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HHmmss")) + QStringLiteral(".xlsx");
}

}  // namespace

int ZapisiRadnuKnjigu(RecordSet& rs, bool bezZaglavlja, const QString& imeLista, const QString& datoteka) {
  const int polja = rs.FieldCount();
  const int prviRed = bezZaglavlja ? 0 : 1;
  if (polja > SpreadsheetWriter::kMaxCols || rs.RecordCount() + prviRed > SpreadsheetWriter::kMaxRows)
    throw platform::SpreadsheetError(
        QStringLiteral("Zapisa je %1 u %2 polja, a list ima najviše %3 redaka i %4 stupaca.")
            .arg(rs.RecordCount())
            .arg(polja)
            .arg(SpreadsheetWriter::kMaxRows)
            .arg(SpreadsheetWriter::kMaxCols)
            .toStdString());
  SpreadsheetWriter w(datoteka, imeLista.isEmpty() ? QStringLiteral("Sheet1") : imeLista);
  std::vector<int> sirine(size_t(polja), 0);
  if (!bezZaglavlja)
    for (int i = 0; i < polja; ++i) {
      w.writeText(0, i, rs.FieldName(i));
      sirine[size_t(i)] = int(rs.FieldName(i).size());
    }
  int red = prviRed;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext(), ++red)
    for (int i = 0; i < polja; ++i)
      sirine[size_t(i)] = std::max(sirine[size_t(i)], zapisiVrijednost(w, red, i, rs.Value(i), rs.FieldType(i)));
  for (int i = 0; i < polja; ++i) w.setColumnWidth(i, std::max(sirine[size_t(i)], 6) + 2.0);
  w.commit();
  return w.nonFiniteCount();
}

void PocistiPrivremeneKnjige() { privremeneKnjige().počisti(); }

QString NapomenaONebrojevima(int koliko) {
  if (koliko == 0) return {};
  return QStringLiteral("\nVrijednosti koje nisu brojevi (beskonačno, NaN): %1; zapisane su kao tekst.").arg(koliko);
}

bool PokreniExportCSV(RecordSet& rs, QWidget* roditelj) {
  frmOfficeExportPost forma(roditelj);
  forma.rsPodaci = &rs;
  forma.exec();
  return forma.Prekinuto;
}

void PrebaciUExcel(RecordSet& rs, bool bezZaglavlja, bool bezProvjere, bool imenujList, const QString& datoteka,
                   const QString& imeLista, QWidget* roditelj) {
  auto& d = platform::dialogs();
  try {
    if (!bezProvjere && rs.RecordCount() == 0) {
      d.messageBox(roditelj, QStringLiteral("Ne postoje zapisi koji bi se mogli prebaciti !"), platform::MsgButtons::Ok,
                   platform::MsgIcon::Information, platform::defaultTitle());
      return;
    }
    RecordSet kopija = rs.Clone();
    if (procitajLogicku(QStringLiteral("PrebacujUCSV"))) {
      PokreniExportCSV(kopija, roditelj);
      return;
    }
    const QString ime = imenujList ? imeLista : QString();
    if (!datoteka.isEmpty()) {
      const int nebrojevi = ZapisiRadnuKnjigu(kopija, bezZaglavlja, ime, datoteka);
      d.messageBox(roditelj,
                   QStringLiteral("Podaci su eksportirani u datoteku: ") + datoteka + NapomenaONebrojevima(nebrojevi),
                   platform::MsgButtons::Ok, platform::MsgIcon::Information, platform::defaultTitle());
      return;
    }
    const QString privremena = privatnaDatoteka();
    ZapisiRadnuKnjigu(kopija, bezZaglavlja, ime, privremena);
    QFile::setPermissions(privremena, QFile::ReadOwner | QFile::WriteOwner);
    zapamtiPrivremenu(privremena);
    // xdg-open may wait for the program it starts, so it runs on its own.
    QString greska;
    if (!platform::startDetached(QStringLiteral("xdg-open"), {privremena}, &greska))
      throw platform::SpreadsheetError(greska.toStdString());
  } catch (const std::exception& e) {
    d.messageBox(roditelj, QStringLiteral("Greška: ") + QString::fromUtf8(e.what()), platform::MsgButtons::Ok,
                 platform::MsgIcon::None, platform::defaultTitle());
  }
}

}  // namespace viewers
