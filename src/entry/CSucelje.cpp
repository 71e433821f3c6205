// The C interface: the component's class and its three methods, and what every call shares
// (the last error per object, the application object, the call wrapper). The record-set
// functions are in CSuceljeZapisi.cpp, the viewers, exports and report window in
// CSuceljePregledi.cpp, the hooks that join the modules in Kuke.cpp.
#include "entry/CSucelje.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QApplication>
#include <QFile>
#include <QThread>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace sucelje {

// ---- last error per object ----

namespace {

std::mutex g_greskeMutex;
std::unordered_map<const clsSlanjeEMaila*, std::string> g_greske;

}  // namespace

void postaviGresku(const clsSlanjeEMaila* obj, std::string tekst) {
  std::lock_guard<std::mutex> lock(g_greskeMutex);
  g_greske[obj] = std::move(tekst);
}

// ---- the application object ----

namespace {

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
  if (lista.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return QStringLiteral(
        "Nema zaslona za prozore komponente (nisu postavljeni DISPLAY, "
        "WAYLAND_DISPLAY ni QT_QPA_PLATFORM).");
  if (lista.isEmpty())
    lista = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ? QStringLiteral("wayland;xcb")
                                                                                 : QStringLiteral("xcb");
  for (const QString& stavka : lista.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString ime = stavka.section(QLatin1Char(':'), 0, 0).trimmed();
    if (ime == QLatin1String("xcb")                ? xPosluziteljOdgovara()
        : ime.startsWith(QLatin1String("wayland")) ? waylandOdgovara()
                                                   : true)
      return {};
  }
  return QStringLiteral(
             "Nema zaslona za prozore komponente: poslužitelj zaslona ne odgovara "
             "(DISPLAY=\"%1\", WAYLAND_DISPLAY=\"%2\").")
      .arg(qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"));
}

std::string g_bezZaslona;  // why we made a QCoreApplication instead of a QApplication

}  // namespace

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
      // No shared OpenGL contexts (Qt::AA_ShareOpenGLContexts): Qt would create them with the
      // application and load the software renderer (some 50 MB) into every host, for the
      // composer's web views alone; those composite in software without them.
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
  poveziKuke();
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    throw std::runtime_error(!g_bezZaslona.empty() ? g_bezZaslona
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

namespace {
// A window that is open already cannot be opened again from under itself.
bool g_uPozivu = false;
}  // namespace

int32_t pozovi(clsSlanjeEMaila* obj, const std::function<void()>& poziv) {
  if (!obj) return VELKOR_E_INVALIDARG;
  postaviGresku(obj, {});
  try {
    osigurajAplikaciju(true);  // from here on we are on the GUI thread
    if (g_uPozivu) throw std::runtime_error("Prozor komponente je već otvoren: poziv je odbijen.");
    g_uPozivu = true;
    struct Kraj {
      ~Kraj() { g_uPozivu = false; }
    } kraj;
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

}  // namespace sucelje

using namespace sucelje;

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
    struct Osvjezi {
      VelkorRecordSet* h;
      ~Osvjezi() { h->redovi.reset(); }
    } osvjezi{*rs};
    obj->SlanjePrekoRecordseta((*rs)->rs, obavezan(Parametar));
  });
}

int32_t clsSlanjeEMaila_SlanjeBezRecordSeta(clsSlanjeEMaila* obj, const int32_t* Parametar) {
  return pozovi(obj, [&] { obj->SlanjeBezRecordSeta(obavezan(Parametar)); });
}

int32_t clsSlanjeEMaila_SlanjeFajlaPrekoEMaila(clsSlanjeEMaila* obj, const int32_t* Parametar, const char* Subject,
                                               const char* Recepients, const char* CC, const char* BCC,
                                               const char* Poruka, const char* lAttachFileName,
                                               const char* lAttachFileName2, const char* lAttachFileName3) {
  return pozovi(obj, [&] {
    const int32_t p = obavezan(Parametar);
    obj->SlanjeFajlaPrekoEMaila(
        p, uQString(obavezan(Subject, "Subject")), uQString(obavezan(Recepients, "Recepients")),
        uQString(obavezan(CC, "CC")), uQString(obavezan(BCC, "BCC")), uQString(obavezan(Poruka, "Poruka")),
        uQString(obavezan(lAttachFileName, "lAttachFileName")), uQString(lAttachFileName2), uQString(lAttachFileName3));
  });
}
