#include "platform/SqlPristup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

#include "platform/Dialogs.h"
#include "platform/SqliteFunkcije.h"

namespace platform {

namespace {

bool jeDriver(const SqlVeza& v, const char* ime) {
  return v.driver.compare(QLatin1String(ime), Qt::CaseInsensitive) == 0;
}

QString sOpcijom(QString opcije, const QString& dodatak) {
  return opcije.trimmed().isEmpty() ? dodatak : opcije + QLatin1Char(';') + dodatak;
}

QString tekstGreske(const QSqlError& e, const QString& zamjena) {
  const QString t = e.text().trimmed();
  return t.isEmpty() ? zamjena : t;
}

// The statements are written against the host's schema dbo: the SQLite file is attached
// under that name as well.
bool pripremiSqlite(const QSqlDatabase& db, QString& greska) {
  if (!registrirajSqliteFunkcije(db)) {
    greska = QStringLiteral("SQLite funkcije nisu registrirane");
    return false;
  }
  QSqlQuery attach(db);
  attach.prepare(QStringLiteral("ATTACH DATABASE ? AS dbo"));
  attach.addBindValue(db.databaseName());
  if (!attach.exec()) {
    greska = tekstGreske(attach.lastError(), QStringLiteral("ATTACH nije uspio"));
    return false;
  }
  return true;
}

int brojac = 0;

}  // namespace

SqlPristup::SqlPristup(std::optional<SqlVeza> fiksnaVeza)
    : fiksna_(std::move(fiksnaVeza)),
      // The composer's module holds a copy of this code and of the counter: the counter's
      // address keeps the two copies' names apart.
      ime_(QStringLiteral("velkor_sql_%1_%2").arg(quintptr(&brojac), 0, 16).arg(++brojac)) {}

SqlPristup::~SqlPristup() { zatvori(); }

void SqlPristup::zatvori() {
  if (!otvorena_) return;
  otvorena_.reset();
  {
    QSqlDatabase db = QSqlDatabase::database(ime_, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(ime_);
}

bool SqlPristup::spoji(const SqlVeza& v) {
  if (!QSqlDatabase::isDriverAvailable(v.driver)) {
    greska_ = QStringLiteral("Upravljački program baze \"%1\" nije dostupan").arg(v.driver);
    return false;
  }
  if (jeDriver(v, "QSQLITE") && !QFileInfo(v.database).isFile()) {
    greska_ = QStringLiteral("Baza \"%1\" ne postoji").arg(v.database);
    return false;
  }
  bool ok = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(v.driver, ime_);
    db.setDatabaseName(v.database);
    db.setHostName(v.host);
    db.setPort(v.port);
    db.setUserName(v.user);
    db.setPassword(v.password);
    QString opcije = v.options;
    // Only reading is ever done, so the host's file is never changed (nor created).
    if (jeDriver(v, "QSQLITE")) opcije = sOpcijom(opcije, QStringLiteral("QSQLITE_OPEN_READONLY"));
    // A search runs at each keystroke: an unreachable server must not hang the window for long.
    if (jeDriver(v, "QPSQL") && !opcije.contains(QLatin1String("connect_timeout")))
      opcije = sOpcijom(opcije, QStringLiteral("connect_timeout=5"));
    db.setConnectOptions(opcije);
    ok = db.open();
    if (!ok) greska_ = tekstGreske(db.lastError(), QStringLiteral("Veza s bazom nije otvorena"));
    if (ok && jeDriver(v, "QSQLITE")) ok = pripremiSqlite(db, greska_);
    if (!ok) db.close();
  }
  if (!ok) {
    QSqlDatabase::removeDatabase(ime_);
    return false;
  }
  otvorena_ = v;
  return true;
}

bool SqlPristup::izvrsi(const QSqlDatabase& db, const QString& sql, RecordSet& rs, bool samoNaprijed) {
  QSqlQuery q(db);
  q.setForwardOnly(samoNaprijed);
  if (!q.exec(sql)) {
    greska_ = tekstGreske(q.lastError(), QStringLiteral("Upit nije izvršen"));
    return false;
  }
  RecordSet procitan = RecordSet::fromQuery(q);
  if (q.lastError().isValid()) {  // the rows stopped coming half-way
    greska_ = tekstGreske(q.lastError(), QStringLiteral("Čitanje rezultata nije uspjelo"));
    return false;
  }
  rs = procitan;
  return true;
}

bool SqlPristup::OtvoriRS(QSqlDatabase* veza, const QString& sql, RecordSet& rs, bool samoNaprijed,
                          bool prikaziGresku) {
  greska_.clear();
  rs = RecordSet();
  bool ok = false;
  if (veza && veza->isOpen()) {
    ok = izvrsi(*veza, sql, rs, samoNaprijed);
  } else {
    const SqlVeza v = fiksna_ ? *fiksna_ : vezaIzPostavki();
    const bool novaVeza = !otvorena_ || *otvorena_ != v;
    if (novaVeza) zatvori();
    ok = (!novaVeza || spoji(v)) && izvrsi(QSqlDatabase::database(ime_, false), sql, rs, samoNaprijed);
    // A kept connection may have been dropped by the server since the last call.
    if (!ok && !novaVeza) {
      zatvori();
      ok = spoji(v) && izvrsi(QSqlDatabase::database(ime_, false), sql, rs, samoNaprijed);
    }
    if (!ok) zatvori();
  }
  if (!ok && prikaziGresku)
    dialogs().messageBox(nullptr, QStringLiteral("Desila se greška: ") + greska_, MsgButtons::Ok, MsgIcon::Exclamation,
                         defaultTitle());
  return ok;
}

QString SqlPristup::literal(const QString& tekst) {
  QSqlField polje(QString(), QMetaType(QMetaType::QString));
  polje.setValue(tekst);
  const SqlVeza v = fiksna_ ? *fiksna_ : vezaIzPostavki();
  if (!otvorena_ || *otvorena_ != v) {
    zatvori();
    spoji(v);
  }
  const QSqlDatabase db = QSqlDatabase::database(ime_, false);
  if (otvorena_ && db.isOpen() && db.driver()) return db.driver()->formatValue(polje);
  QString s = tekst;
  return QLatin1Char('\'') + s.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

SqlPristup& sqlPristup() {
  static SqlPristup* pristup = nullptr;
  if (!pristup) {
    pristup = new SqlPristup();
    // Connections must be gone before Qt SQL's drivers are; a host that keeps its
    // application to the end of the process never reaches this.
    qAddPostRoutine([] {
      delete pristup;
      pristup = nullptr;
    });
  }
  return *pristup;
}

}  // namespace platform
