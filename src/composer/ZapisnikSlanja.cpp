#include "composer/ZapisnikSlanja.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>

#include "composer/OsobnaPolja.h"
#include "composer/PlanDostave.h"
#include "composer/PoljaZapisa.h"
#include "composer/TijekSlanja.h"
#include "platform/RecordSet.h"

namespace composer {

namespace {

const int kDanaUZapisniku = 30;

void dodajDatoteku(QCryptographicHash& h, const QString& put) {
  QFile f(put);
  if (f.open(QIODevice::ReadOnly)) h.addData(&f);
  h.addData(QByteArrayView("\x1e", 1));
}

}  // namespace

QByteArray otisakSlanja(const PorukaZaSlanje& p) {
  QCryptographicHash h(QCryptographicHash::Sha256);
  for (const QString& dio : {p.od, p.imeOd, p.to, p.cc, p.bcc, p.predmet, p.html, p.prilozi})
    h.addData(dio.toUtf8()), h.addData(QByteArrayView("\x1f", 1));
  // Files named through a field are each customer's own: their names are in the box already.
  for (const QString& put : (p.prilozi + QLatin1Char(';') + p.slike).split(QLatin1Char(';'), Qt::SkipEmptyParts))
    if (!put.contains(QLatin1String("{{"))) dodajDatoteku(h, put.trimmed());
  return h.result().toHex();
}

QStringList poljaSlanja(const PorukaZaSlanje& p) { return poljaUTekstu({p.predmet, p.html, p.prilozi}); }

QString kljucZapisa(const platform::RecordSet& rs, const QStringList& polja) {
  QStringList dijelovi{normaliziraneAdrese(tekstPolja(rs, QStringLiteral("EMail"))).toLower()};
  for (const QString& polje : polja) dijelovi << tekstVrijednosti(rs.Value(polje));
  return dijelovi.join(QChar(0x1f));
}

ZapisnikSlanja::ZapisnikSlanja(QString datoteka)
    : veza_(QStringLiteral("zapisnik-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      datoteka_(std::move(datoteka)) {}

ZapisnikSlanja::~ZapisnikSlanja() {
  if (QSqlDatabase::contains(veza_)) {
    QSqlDatabase::database(veza_, false).close();
    QSqlDatabase::removeDatabase(veza_);
  }
}

QString ZapisnikSlanja::zadanaDatoteka() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/Velkor/slanja.sqlite");
}

bool ZapisnikSlanja::otvori(QString* greska) {
  if (otvoren_) return true;
  QDir().mkpath(QFileInfo(datoteka_).absolutePath());
  QSqlDatabase db = QSqlDatabase::contains(veza_) ? QSqlDatabase::database(veza_, false)
                                                  : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), veza_);
  db.setDatabaseName(datoteka_);
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
  // FULL: a commit in WAL mode survives a power cut, not only a crash of the process.
  otvoren_ =
      db.open() && izvrsi(QStringLiteral("PRAGMA journal_mode=WAL")) &&
      izvrsi(QStringLiteral("PRAGMA synchronous=FULL")) &&
      izvrsi(QStringLiteral("CREATE TABLE IF NOT EXISTS slanja (id INTEGER PRIMARY KEY, otisak TEXT NOT NULL, "
                            "pocetak TEXT NOT NULL, zavrseno INTEGER NOT NULL DEFAULT 0)")) &&
      izvrsi(QStringLiteral("CREATE TABLE IF NOT EXISTS poslano (slanje INTEGER NOT NULL, kljuc TEXT NOT NULL, "
                            "adresa TEXT NOT NULL, vrijeme TEXT NOT NULL, prihvaceno INTEGER NOT NULL, odgovor TEXT, "
                            "PRIMARY KEY (slanje, kljuc))")) &&
      izvrsi(QStringLiteral("CREATE INDEX IF NOT EXISTS slanja_otisak ON slanja (otisak)"));
  if (otvoren_) {
    const QString granica = QDateTime::currentDateTimeUtc().addDays(-kDanaUZapisniku).toString(Qt::ISODate);
    izvrsi(QStringLiteral("DELETE FROM poslano WHERE slanje IN (SELECT id FROM slanja WHERE pocetak < ?)"), {granica});
    izvrsi(QStringLiteral("DELETE FROM slanja WHERE pocetak < ?"), {granica});
  } else if (greska_.isEmpty()) {
    greska_ = db.lastError().text();
  }
  if (!otvoren_ && greska) *greska = datoteka_ + QStringLiteral(": ") + greska_;
  return otvoren_;
}

bool ZapisnikSlanja::izvrsi(const QString& sql, const QVariantList& vrijednosti) {
  QSqlQuery q(QSqlDatabase::database(veza_, false));
  q.prepare(sql);
  for (const QVariant& v : vrijednosti) q.addBindValue(v);
  if (q.exec()) return true;
  greska_ = q.lastError().text();
  return false;
}

std::optional<ZapisnikSlanja::Prekinuto> ZapisnikSlanja::prekinuto(const QByteArray& otisak) {
  if (!otvori(nullptr)) return std::nullopt;
  QSqlQuery q(QSqlDatabase::database(veza_, false));
  q.prepare(QStringLiteral("SELECT id, zavrseno FROM slanja WHERE otisak = ? ORDER BY id DESC LIMIT 1"));
  q.addBindValue(QString::fromLatin1(otisak));
  if (!q.exec() || !q.next() || q.value(1).toInt() != 0) return std::nullopt;
  Prekinuto p{q.value(0).toLongLong(), {}};
  q.prepare(QStringLiteral("SELECT kljuc FROM poslano WHERE slanje = ?"));
  q.addBindValue(p.id);
  if (!q.exec()) return std::nullopt;
  while (q.next()) p.poslani.insert(q.value(0).toString());
  if (p.poslani.isEmpty()) return std::nullopt;
  return p;
}

qint64 ZapisnikSlanja::zapocni(const QByteArray& otisak) {
  if (!otvori(nullptr)) return 0;
  QSqlQuery q(QSqlDatabase::database(veza_, false));
  q.prepare(QStringLiteral("UPDATE slanja SET zavrseno = 2 WHERE otisak = ? AND zavrseno = 0"));
  q.addBindValue(QString::fromLatin1(otisak));
  q.exec();
  q.prepare(QStringLiteral("INSERT INTO slanja (otisak, pocetak) VALUES (?, ?)"));
  q.addBindValue(QString::fromLatin1(otisak));
  q.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
  if (!q.exec()) return greska_ = q.lastError().text(), 0;
  return q.lastInsertId().toLongLong();
}

// Without waiting for the disk: what a crash of the process must find is in the system's
// hands once written, and the message's end follows at once. The acceptance that comes
// next waits for the disk, and so makes this row last through a power cut too.
bool ZapisnikSlanja::predaj(qint64 slanje, const QString& kljuc, const QString& adresa) {
  return otvori(nullptr) && izvrsi(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
         izvrsi(QStringLiteral("INSERT OR REPLACE INTO poslano (slanje, kljuc, adresa, vrijeme, prihvaceno) "
                               "VALUES (?, ?, ?, ?, 0)"),
                {slanje, kljuc, adresa, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)});
}

bool ZapisnikSlanja::zabiljezi(qint64 slanje, const QString& kljuc, const QString& adresa, const QString& odgovor) {
  return otvori(nullptr) && izvrsi(QStringLiteral("PRAGMA synchronous=FULL")) &&
         izvrsi(QStringLiteral("INSERT OR REPLACE INTO poslano (slanje, kljuc, adresa, vrijeme, prihvaceno, odgovor) "
                               "VALUES (?, ?, ?, ?, 1, ?)"),
                {slanje, kljuc, adresa, QDateTime::currentDateTimeUtc().toString(Qt::ISODate), odgovor});
}

bool ZapisnikSlanja::odbaci(qint64 slanje, const QString& kljuc) {
  return otvori(nullptr) && izvrsi(QStringLiteral("PRAGMA synchronous=FULL")) &&
         izvrsi(QStringLiteral("DELETE FROM poslano WHERE slanje = ? AND kljuc = ?"), {slanje, kljuc});
}

bool ZapisnikSlanja::zavrsi(qint64 slanje) {
  return otvori(nullptr) && izvrsi(QStringLiteral("UPDATE slanja SET zavrseno = 1 WHERE id = ?"), {slanje});
}

bool ZapisnikSlanja::ocisti(QString* greska) {
  const bool ok =
      otvori(greska) && izvrsi(QStringLiteral("DELETE FROM poslano")) && izvrsi(QStringLiteral("DELETE FROM slanja"));
  if (!ok && greska && greska->isEmpty()) *greska = greska_;
  return ok;
}

}  // namespace composer
