// The C interface's record sets: built by the host, or read from an SQL query.
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "entry/CSucelje.h"

using namespace sucelje;

namespace {

QString tekstVrijednosti(const QVariant& v, int tip) {
  switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Float:
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDate: return v.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime: {
      const QDateTime dt = v.toDateTime();
      if (tip == platform::adDBDate) return dt.date().toString(Qt::ISODate);
      return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    default: return v.toString();
  }
}

void procitajImena(VelkorRecordSet* h) {
  h->imena.clear();
  for (int i = 0; i < h->rs.FieldCount(); ++i) h->imena.push_back(h->rs.FieldName(i).toStdString());
}

char* kopija(const QString& tekst) {
  const QByteArray b = tekst.toUtf8();
  char* c = static_cast<char*>(std::malloc(size_t(b.size()) + 1));
  if (c) std::memcpy(c, b.constData(), size_t(b.size()) + 1);
  return c;
}

struct OpcijeVeze {
  QString database, host, user, password, options;
  int port = -1;
};

// "database=...;host=...;port=...;user=...;password=...;options=..."; everything after
// "options=" belongs to it, since driver options are themselves separated by ";".
OpcijeVeze procitajOpcije(const QString& tekst) {
  OpcijeVeze o;
  QString ostatak = tekst;
  while (!ostatak.isEmpty()) {
    const int jednako = ostatak.indexOf(QLatin1Char('='));
    if (jednako < 0) {
      if (ostatak.trimmed().isEmpty()) break;
      throw std::runtime_error("Neispravna opcija veze: " + ostatak.toStdString());
    }
    const QString kljuc = ostatak.left(jednako).trimmed().toLower();
    ostatak = ostatak.mid(jednako + 1);
    if (kljuc == QLatin1String("options")) {
      o.options = ostatak;
      break;
    }
    const int tocka = ostatak.indexOf(QLatin1Char(';'));
    const QString vrijednost = tocka < 0 ? ostatak : ostatak.left(tocka);
    ostatak = tocka < 0 ? QString() : ostatak.mid(tocka + 1);
    if (kljuc == QLatin1String("database")) o.database = vrijednost;
    else if (kljuc == QLatin1String("host")) o.host = vrijednost;
    else if (kljuc == QLatin1String("user")) o.user = vrijednost;
    else if (kljuc == QLatin1String("password")) o.password = vrijednost;
    else if (kljuc == QLatin1String("port")) {
      bool ok = false;
      o.port = vrijednost.trimmed().toInt(&ok);
      if (!ok) throw std::runtime_error("Neispravan port: " + vrijednost.toStdString());
    } else {
      throw std::runtime_error("Nepoznata opcija veze: " + kljuc.toStdString());
    }
  }
  return o;
}

platform::RecordSet izvrsiUpit(const QString& driver, const QString& veza, const QString& sql) {
  if (!QSqlDatabase::isDriverAvailable(driver))
    throw std::runtime_error("SQL upravljački program \"" + driver.toStdString() + "\" nije dostupan.");
  const OpcijeVeze o = procitajOpcije(veza);
  static std::atomic<int> brojac{0};
  const QString imeVeze = QStringLiteral("VelkorSlanjeEMaila26-%1").arg(++brojac);
  std::string greska;
  platform::RecordSet rezultat;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, imeVeze);
    db.setDatabaseName(o.database);
    db.setHostName(o.host);
    db.setUserName(o.user);
    db.setPassword(o.password);
    if (o.port >= 0) db.setPort(o.port);
    db.setConnectOptions(o.options);
    if (!db.open()) {
      greska = "Veza s bazom nije uspjela: " + db.lastError().text().toStdString();
    } else {
      QSqlQuery upit(db);
      upit.setForwardOnly(true);
      if (upit.exec(sql)) rezultat = platform::RecordSet::fromQuery(upit);
      else greska = "Upit nije uspio: " + upit.lastError().text().toStdString();
    }
    db.close();
  }
  QSqlDatabase::removeDatabase(imeVeze);
  if (!greska.empty()) throw std::runtime_error(greska);
  return rezultat;
}

const QList<QList<QVariant>>& redovi(VelkorRecordSet* h) {
  if (!h->redovi) h->redovi = h->rs.rows();
  return *h->redovi;
}

}  // namespace

VelkorRecordSet* VelkorRecordSet_Create(int32_t fieldCount, const char* const* names, const int32_t* types) {
  if (fieldCount < 0 || (fieldCount > 0 && !names)) return nullptr;
  try {
    QList<platform::RecordField> polja;
    for (int32_t i = 0; i < fieldCount; ++i) {
      if (!names[i]) return nullptr;
      polja << platform::RecordField{QString::fromUtf8(names[i]), types ? int(types[i]) : int(platform::adVarWChar)};
    }
    auto* h = new VelkorRecordSet{platform::RecordSet(polja), {}, {}, {}};
    procitajImena(h);
    return h;
  } catch (...) {
    return nullptr;
  }
}

int32_t VelkorRecordSet_AddRow(VelkorRecordSet* rs, const char* const* values) {
  if (!rs || (!values && rs->rs.FieldCount() > 0)) return VELKOR_E_INVALIDARG;
  try {
    QList<QVariant> red;
    for (int i = 0; i < rs->rs.FieldCount(); ++i) {
      const std::optional<QString> tekst =
          values[i] ? std::optional<QString>(QString::fromUtf8(values[i])) : std::nullopt;
      red << platform::RecordSet::fromText(tekst ? &*tekst : nullptr, rs->rs.FieldType(i));
    }
    rs->rs.AddRow(red);
    rs->rs.MoveFirst();
    rs->redovi.reset();
    return VELKOR_OK;
  } catch (...) {
    return VELKOR_E_FAIL;
  }
}

VelkorRecordSet* VelkorRecordSet_OpenQuery(const char* driver, const char* connection, const char* sql, char** error) {
  if (error) *error = nullptr;
  try {
    if (!driver || !sql) throw std::runtime_error("Upravljački program i upit ne smiju biti NULL.");
    osigurajAplikaciju(false);  // Qt loads SQL drivers only with an application object
    auto* h = new VelkorRecordSet{
        izvrsiUpit(QString::fromUtf8(driver), uQString(connection), QString::fromUtf8(sql)), {}, {}, {}};
    procitajImena(h);
    return h;
  } catch (const std::exception& e) {
    if (error) *error = kopija(QString::fromUtf8(e.what()));
  } catch (...) {
    if (error) *error = kopija(QStringLiteral("Nepoznata greška."));
  }
  return nullptr;
}

int32_t VelkorRecordSet_RecordCount(const VelkorRecordSet* rs) { return rs ? rs->rs.RecordCount() : 0; }

int32_t VelkorRecordSet_FieldCount(const VelkorRecordSet* rs) { return rs ? rs->rs.FieldCount() : 0; }

const char* VelkorRecordSet_FieldName(const VelkorRecordSet* rs, int32_t field) {
  if (!rs || field < 0 || size_t(field) >= rs->imena.size()) return nullptr;
  return rs->imena[size_t(field)].c_str();
}

int32_t VelkorRecordSet_FieldType(const VelkorRecordSet* rs, int32_t field) {
  if (!rs || field < 0 || field >= rs->rs.FieldCount()) return 0;
  return rs->rs.FieldType(field);
}

const char* VelkorRecordSet_Value(VelkorRecordSet* rs, int32_t row, int32_t field) {
  if (!rs || field < 0 || field >= rs->rs.FieldCount()) return nullptr;
  try {
    const auto& sviRedovi = redovi(rs);
    if (row < 0 || row >= sviRedovi.size()) return nullptr;
    const QVariant& v = sviRedovi[row].at(field);
    if (!v.isValid() || v.isNull()) return nullptr;
    rs->vrijednost = tekstVrijednosti(v, rs->rs.FieldType(field)).toStdString();
    return rs->vrijednost.c_str();
  } catch (...) {
    return nullptr;
  }
}

void VelkorRecordSet_Release(VelkorRecordSet* rs) { delete rs; }

void VelkorRecordSet_FreeText(char* text) { std::free(text); }
