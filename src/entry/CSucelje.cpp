// The component's C interface: handles, UTF-8 strings and result codes on the outside,
// clsSlanjeEMaila and platform::RecordSet inside. No C++ exception crosses it.
#include "VelkorSlanjeEMaila26.h"

#include <QApplication>
#include <QFile>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <atomic>
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "entry/clsSlanjeEMaila.h"
#include "platform/RecordSet.h"

struct VelkorRecordSet {
  platform::RecordSet rs;
  std::vector<std::string> imena;                  // field names as UTF-8, for FieldName
  std::optional<QList<QList<QVariant>>> redovi;    // read-back copy, dropped when rows change
  std::string vrijednost;                          // the text last returned by Value
};

namespace {

struct NevaljaniArgument : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// ---- last error per object ----

std::mutex g_greskeMutex;
std::unordered_map<const clsSlanjeEMaila*, std::string> g_greske;

void postaviGresku(const clsSlanjeEMaila* obj, std::string tekst) {
  std::lock_guard<std::mutex> lock(g_greskeMutex);
  g_greske[obj] = std::move(tekst);
}

// ---- the application object ----

// Whether a display server answers, asked the way the platform plugin would ask it: Qt's
// own start ends the process (qFatal) when none does, which would end the host with it.
bool xPosluziteljOdgovara() {
  // libxcb is loaded with Qt's xcb plugin anyway; the component does not link it.
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return false;
  using Spoji = void* (*)(const char*, int*);
  using Greska = int (*)(void*);
  using Odspoji = void (*)(void*);
  auto spoji = reinterpret_cast<Spoji>(dlsym(xcb, "xcb_connect"));
  auto greska = reinterpret_cast<Greska>(dlsym(xcb, "xcb_connection_has_error"));
  auto odspoji = reinterpret_cast<Odspoji>(dlsym(xcb, "xcb_disconnect"));
  bool odgovara = false;
  if (spoji && greska && odspoji) {
    void* veza = spoji(nullptr, nullptr);
    odgovara = veza && greska(veza) == 0;
    if (veza) odspoji(veza);
  }
  dlclose(xcb);
  return odgovara;
}

bool waylandOdgovara() {
  QString ime = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (ime.isEmpty()) return false;
  if (!ime.startsWith(QLatin1Char('/'))) {
    const QString mapa = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (mapa.isEmpty()) return false;
    ime = mapa + QLatin1Char('/') + ime;
  }
  const QByteArray put = QFile::encodeName(ime);
  sockaddr_un adresa{};
  adresa.sun_family = AF_UNIX;
  if (size_t(put.size()) >= sizeof(adresa.sun_path)) return false;
  std::memcpy(adresa.sun_path, put.constData(), size_t(put.size()));
  const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  const bool odgovara = ::connect(s, reinterpret_cast<sockaddr*>(&adresa), sizeof adresa) == 0;
  close(s);
  return odgovara;
}

// Empty when Qt's platform plugin will find its display; else why the windows cannot open.
// Qt tries the entries of QT_QPA_PLATFORM in order (unset: xcb, after wayland in a Wayland
// session); a plugin other than these two needs no display server.
QString razlogBezZaslona() {
  QString lista = qEnvironmentVariable("QT_QPA_PLATFORM");
  if (lista.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return QStringLiteral("Nema zaslona za prozore komponente (nisu postavljeni DISPLAY, "
                          "WAYLAND_DISPLAY ni QT_QPA_PLATFORM).");
  if (lista.isEmpty())
    lista = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
                ? QStringLiteral("wayland;xcb")
                : QStringLiteral("xcb");
  for (const QString& stavka : lista.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString ime = stavka.section(QLatin1Char(':'), 0, 0).trimmed();
    if (ime == QLatin1String("xcb") ? xPosluziteljOdgovara()
        : ime.startsWith(QLatin1String("wayland")) ? waylandOdgovara()
                                                     : true)
      return {};
  }
  return QStringLiteral("Nema zaslona za prozore komponente: poslužitelj zaslona ne odgovara "
                        "(DISPLAY=\"%1\", WAYLAND_DISPLAY=\"%2\").")
      .arg(qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"));
}

std::string g_bezZaslona;  // why we made a QCoreApplication instead of a QApplication

// Makes sure a Qt application object exists, creating one in the calling thread and
// keeping it for the process's life when the host has none. Windows need a QApplication
// and the GUI thread; SQL alone makes do with a QCoreApplication where there is no display.
void osigurajAplikaciju(bool trebajuProzori) {
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char ime[] = "VelkorSlanjeEMaila26";
    static char* argv[] = {ime, nullptr};
    const QString razlog = razlogBezZaslona();
    if (razlog.isEmpty()) {
      // The composer's web views share OpenGL contexts, which Qt sets up with the application.
      QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
      auto* app = new QApplication(argc, argv);
      // Our windows are the host's only Qt windows: closing one must not end Qt's loops.
      app->setQuitOnLastWindowClosed(false);
    } else if (!trebajuProzori) {
      new QCoreApplication(argc, argv);
      g_bezZaslona = razlog.toStdString();
    } else {
      throw std::runtime_error(razlog.toStdString());
    }
  }
  if (!trebajuProzori) return;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    throw std::runtime_error(!g_bezZaslona.empty()
                                 ? g_bezZaslona
                                 : "Program ima QCoreApplication, a prozori komponente "
                                   "trebaju QApplication.");
  if (QThread::currentThread() != QCoreApplication::instance()->thread())
    throw std::runtime_error("Komponenta se poziva iz niti koja nije nit korisničkog sučelja.");
}

// ---- method calls ----

QString uQString(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

const char* obavezan(const char* s, const char* ime) {
  if (!s) throw NevaljaniArgument(std::string("Parametar ") + ime + " ne smije biti NULL.");
  return s;
}

int32_t obavezan(const int32_t* p) {
  if (!p) throw NevaljaniArgument("Parametar Parametar ne smije biti NULL.");
  return *p;
}

// A window that is open already cannot be opened again from under itself.
bool g_uPozivu = false;

template <class F>
int32_t pozovi(clsSlanjeEMaila* obj, F&& poziv) {
  if (!obj) return VELKOR_E_INVALIDARG;
  postaviGresku(obj, {});
  try {
    osigurajAplikaciju(true);  // from here on we are on the GUI thread
    if (g_uPozivu) throw std::runtime_error("Prozor komponente je već otvoren: poziv je odbijen.");
    g_uPozivu = true;
    struct Kraj { ~Kraj() { g_uPozivu = false; } } kraj;
    poziv();
    return VELKOR_OK;
  } catch (const clsSlanjeEMaila::NijeDostupno& e) {
    postaviGresku(obj, e.what());
    return VELKOR_E_NOTAVAILABLE;
  } catch (const NevaljaniArgument& e) {
    postaviGresku(obj, e.what());
    return VELKOR_E_INVALIDARG;
  } catch (const std::exception& e) {
    postaviGresku(obj, e.what());
  } catch (...) {
    postaviGresku(obj, "Nepoznata greška.");
  }
  return VELKOR_E_FAIL;
}

// ---- record sets ----

QString tekstVrijednosti(const QVariant& v, int tip) {
  switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Float:
    case QMetaType::Double:
      return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
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
    throw std::runtime_error("SQL upravljački program \"" + driver.toStdString() +
                             "\" nije dostupan.");
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

// ---- the component class ----

clsSlanjeEMaila* clsSlanjeEMaila_Create(void) { return new (std::nothrow) clsSlanjeEMaila; }

void clsSlanjeEMaila_Release(clsSlanjeEMaila* obj) {
  if (!obj) return;
  {
    std::lock_guard<std::mutex> lock(g_greskeMutex);
    g_greske.erase(obj);
  }
  delete obj;
}

const char* clsSlanjeEMaila_ErrorText(const clsSlanjeEMaila* obj) {
  std::lock_guard<std::mutex> lock(g_greskeMutex);
  auto it = g_greske.find(obj);
  return it == g_greske.end() ? "" : it->second.c_str();
}

int32_t clsSlanjeEMaila_SlanjePrekoRecordseta(clsSlanjeEMaila* obj, VelkorRecordSet* const* rs,
                                              const int32_t* Parametar) {
  return pozovi(obj, [&] {
    if (!rs || !*rs) throw NevaljaniArgument("Parametar rs ne smije biti NULL.");
    (*rs)->redovi.reset();  // the composer deletes rows from the host's set
    struct Osvjezi { VelkorRecordSet* h; ~Osvjezi() { h->redovi.reset(); } } osvjezi{*rs};
    obj->SlanjePrekoRecordseta((*rs)->rs, obavezan(Parametar));
  });
}

int32_t clsSlanjeEMaila_SlanjeBezRecordSeta(clsSlanjeEMaila* obj, const int32_t* Parametar) {
  return pozovi(obj, [&] { obj->SlanjeBezRecordSeta(obavezan(Parametar)); });
}

int32_t clsSlanjeEMaila_SlanjeFajlaPrekoEMaila(clsSlanjeEMaila* obj, const int32_t* Parametar,
                                               const char* Subject, const char* Recepients,
                                               const char* CC, const char* BCC,
                                               const char* Poruka, const char* lAttachFileName,
                                               const char* lAttachFileName2,
                                               const char* lAttachFileName3) {
  return pozovi(obj, [&] {
    const int32_t p = obavezan(Parametar);
    obj->SlanjeFajlaPrekoEMaila(
        p, uQString(obavezan(Subject, "Subject")), uQString(obavezan(Recepients, "Recepients")),
        uQString(obavezan(CC, "CC")), uQString(obavezan(BCC, "BCC")),
        uQString(obavezan(Poruka, "Poruka")),
        uQString(obavezan(lAttachFileName, "lAttachFileName")),
        uQString(lAttachFileName2), uQString(lAttachFileName3));
  });
}

// ---- record sets ----

VelkorRecordSet* VelkorRecordSet_Create(int32_t fieldCount, const char* const* names,
                                        const int32_t* types) {
  if (fieldCount < 0 || (fieldCount > 0 && !names)) return nullptr;
  try {
    QList<platform::RecordField> polja;
    for (int32_t i = 0; i < fieldCount; ++i) {
      if (!names[i]) return nullptr;
      polja << platform::RecordField{QString::fromUtf8(names[i]),
                                     types ? int(types[i]) : int(platform::adVarWChar)};
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

VelkorRecordSet* VelkorRecordSet_OpenQuery(const char* driver, const char* connection,
                                           const char* sql, char** error) {
  if (error) *error = nullptr;
  try {
    if (!driver || !sql)
      throw std::runtime_error("Upravljački program i upit ne smiju biti NULL.");
    osigurajAplikaciju(false);  // Qt loads SQL drivers only with an application object
    auto* h = new VelkorRecordSet{
        izvrsiUpit(QString::fromUtf8(driver), uQString(connection), QString::fromUtf8(sql)),
        {}, {}, {}};
    procitajImena(h);
    return h;
  } catch (const std::exception& e) {
    if (error) *error = kopija(QString::fromUtf8(e.what()));
  } catch (...) {
    if (error) *error = kopija(QStringLiteral("Nepoznata greška."));
  }
  return nullptr;
}

int32_t VelkorRecordSet_RecordCount(const VelkorRecordSet* rs) {
  return rs ? rs->rs.RecordCount() : 0;
}

int32_t VelkorRecordSet_FieldCount(const VelkorRecordSet* rs) {
  return rs ? rs->rs.FieldCount() : 0;
}

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

// ---- record-set viewers and export ----

#include "core/SettingsStore.h"
#include "viewers/CsvIzvoz.h"
#include "viewers/frmPrikazZapisa.h"
#include "viewers/modUExcel.h"

namespace {

platform::RecordSet& skupZaProzor(VelkorRecordSet* rs) {
  if (!rs) throw NevaljaniArgument("Parametar rs ne smije biti NULL.");
  rs->redovi.reset();  // a window may sort the set
  return rs->rs;
}

void zapisiCSV(platform::RecordSet& rs, const QString& datoteka) {
  using platform::VelkorSetting;
  CsvIzvoz izvoz(rs,
                 {VelkorSetting(QStringLiteral("ExpSeparator"), QStringLiteral(";")),
                  VelkorSetting(QStringLiteral("ExpDecTočka"), QStringLiteral(",")),
                  VelkorSetting(QStringLiteral("ExpPrikazNavodnika"), QStringLiteral("1")) ==
                      QLatin1String("1")},
                 5000);
  bool ok = izvoz.otvori(datoteka);
  while (ok && !izvoz.gotovo()) {
    izvoz.sljedecaSerija();
    ok = izvoz.greska().isEmpty();
  }
  if (!ok || !izvoz.zavrsi()) throw std::runtime_error(izvoz.greska().toStdString());
}

}  // namespace

int32_t clsSlanjeEMaila_PrikaziZapise(clsSlanjeEMaila* obj, const char* naslov,
                                      VelkorRecordSet* rs, int32_t stupacGrupe,
                                      int32_t ukupno1, int32_t ukupno2, const char* izvjestaj) {
  return pozovi(obj, [&] {
    platform::RecordSet& skup = skupZaProzor(rs);
    frmPrikazZapisa forma;
    forma.PrikažiZapise(uQString(naslov), &skup, stupacGrupe, ukupno1, ukupno2,
                        uQString(izvjestaj));
  });
}

int32_t clsSlanjeEMaila_PrebaciUExcel(clsSlanjeEMaila* obj, VelkorRecordSet* rs,
                                      int32_t bezZaglavlja, int32_t bezProvjere,
                                      int32_t imenujList, const char* datoteka,
                                      const char* imeLista) {
  return pozovi(obj, [&] {
    PrebaciUExcel(skupZaProzor(rs), bezZaglavlja != 0, bezProvjere != 0, imenujList != 0,
                  uQString(datoteka), uQString(imeLista));
  });
}

int32_t clsSlanjeEMaila_ExportCSV(clsSlanjeEMaila* obj, VelkorRecordSet* rs, int32_t* prekinuto) {
  return pozovi(obj, [&] {
    platform::RecordSet kopija = skupZaProzor(rs).Clone();
    const bool p = PokreniExportCSV(kopija);
    if (prekinuto) *prekinuto = p ? 1 : 0;
  });
}

int32_t clsSlanjeEMaila_IzveziZapise(clsSlanjeEMaila* obj, VelkorRecordSet* rs,
                                     const char* datoteka) {
  if (!obj) return VELKOR_E_INVALIDARG;
  postaviGresku(obj, {});
  try {
    if (!rs || !datoteka) throw NevaljaniArgument("Parametri rs i datoteka ne smiju biti NULL.");
    osigurajAplikaciju(false);
    platform::RecordSet kopija = rs->rs.Clone();
    const QString ime = QString::fromUtf8(datoteka);
    if (ime.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) zapisiCSV(kopija, ime);
    else ZapisiRadnuKnjigu(kopija, false, QString(), ime);
    return VELKOR_OK;
  } catch (const NevaljaniArgument& e) {
    postaviGresku(obj, e.what());
    return VELKOR_E_INVALIDARG;
  } catch (const std::exception& e) {
    postaviGresku(obj, e.what());
  }
  return VELKOR_E_FAIL;
}

// ---- the report window ----

#include "sender/frmSlanjeeMaila.h"
#include "viewers/CRIspisPrikTeksta.h"
#include "viewers/ReportMailHook.h"
#include "viewers/frmIspisCR.h"

namespace {

void posaljiIzvjestaj(const QString& Subject, const QString& Recepients, const QString& CC,
                      const QString& BCC, const QString& Poruka, const QString& prilog,
                      const QString& prilog2, const QString& prilog3) {
  frmSlanjeeMaila::forma()->Prikaži(Subject, Recepients, CC, BCC, Poruka, prilog, prilog2,
                                    prilog3);
}

// The report window knows the send form only through its hook; the component joins them
// when it is loaded, so every report window of the component can e-mail its PDF.
[[maybe_unused]] const bool g_izvjestajSaljePDF = (setReportMailHook(&posaljiIzvjestaj), true);

}  // namespace

int32_t clsSlanjeEMaila_PrikaziIzvjestaj(clsSlanjeEMaila* obj, const char* naslov,
                                         const char* tekst, VelkorRecordSet* rs,
                                         const char* emailPrimatelja, int32_t pamtiPoziciju) {
  return pozovi(obj, [&] {
    frmIspisCR forma;
    forma.setWindowTitle(uQString(naslov));
    forma.rptIzvjestaj = CRIspisPrikTeksta();
    forma.rptIzvjestaj.setText(QStringLiteral("Naslov"), uQString(naslov));
    forma.rptIzvjestaj.setText(QStringLiteral("Poruka"), uQString(tekst));
    forma.rsZapisi = rs ? &skupZaProzor(rs) : nullptr;
    forma.EmailPrimatelja = uQString(emailPrimatelja);
    forma.PamtiPoziciju = pamtiPoziciju != 0;
    forma.Prikaži();
  });
}
