// Time from the call of method 2 (SlanjeBezRecordSeta, through dlopen as a host calls it)
// to the composer's first paint and to its editor's first document, cold and warm, against
// a bare web view in a dialog of the same process; peak memory of this process and the
// render processes' memory at that moment. Prints figures, never passes or fails.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <cstdio>
#include <dlfcn.h>
#include <sys/resource.h>

#include "VelkorSlanjeEMaila26.h"

namespace {

struct Mjerenje {
  qint64 slika = -1, dokument = -1;
};

// Kilobytes of resident memory of this process's child processes (Chromium's).
long rssDjece() {
  long ukupno = 0;
  const QString ja = QString::number(getpid());
  for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
    QFile stat("/proc/" + pid + "/stat"), status("/proc/" + pid + "/status");
    if (!stat.open(QIODevice::ReadOnly) || stat.readAll().split(' ').value(3) != ja.toLatin1()) continue;
    if (!status.open(QIODevice::ReadOnly)) continue;
    for (const QByteArray& l : status.readAll().split('\n'))
      if (l.startsWith("VmRSS:")) ukupno += l.mid(6).trimmed().split(' ').value(0).toLong();
  }
  return ukupno;
}

class Promatrac : public QObject {
 public:
  QElapsedTimer sat;
  Mjerenje m;
  long djeca = 0;
  QString ime;
  Promatrac() { qApp->installEventFilter(this); }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && m.slika < 0 && o->isWidgetType() &&
        static_cast<QWidget*>(o)->window()->objectName() == ime)
      m.slika = sat.elapsed();
    return QObject::eventFilter(o, e);
  }
  // Waits for the composer and closes it once its editor's first document has loaded.
  void prati(const char* imeProzora) {
    ime = QLatin1String(imeProzora);
    QTimer::singleShot(1, this, [this, imeProzora] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == ime && w->isVisible()) {
          QWidget* editor = w->findChild<QWidget*>("Editor");
          auto* pogled = editor ? editor->findChild<QWebEngineView*>() : nullptr;
          if (pogled && m.slika >= 0 && !pogled->page()->isLoading()) {
            m.dokument = sat.elapsed();
            djeca = rssDjece();
            w->close();
            return;
          }
        }
      prati(imeProzora);
    });
  }
};

Mjerenje komponenta(decltype(&clsSlanjeEMaila_SlanjeBezRecordSeta) bez, clsSlanjeEMaila* obj, long* djeca) {
  Promatrac p;
  p.prati("frmMain");
  const int32_t parametar = 0;
  p.sat.start();
  bez(obj, &parametar);
  *djeca = p.djeca;
  return p.m;
}

Mjerenje goliPogled(long* djeca) {
  Promatrac p;
  p.ime = "goli";
  p.sat.start();
  QDialog d;
  d.setObjectName("goli");
  auto* v = new QWebEngineView(&d);
  (new QVBoxLayout(&d))->addWidget(v);
  d.resize(1000, 700);
  QObject::connect(v, &QWebEngineView::loadFinished, &d, [&] {
    p.m.dokument = p.sat.elapsed();
    p.djeca = rssDjece();
    QTimer::singleShot(0, &d, &QDialog::accept);
  });
  v->setHtml("<html><body></body></html>");
  d.exec();
  *djeca = p.djeca;
  return p.m;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  void* lib = dlopen(argc > 1 ? argv[1] : "libVelkorSlanjeEMaila26.so.26", RTLD_NOW | RTLD_LOCAL);
  if (!lib) return std::fprintf(stderr, "%s\n", dlerror()), 1;
  auto create = reinterpret_cast<decltype(&clsSlanjeEMaila_Create)>(dlsym(lib, "clsSlanjeEMaila_Create"));
  auto bez = reinterpret_cast<decltype(&clsSlanjeEMaila_SlanjeBezRecordSeta)>(
      dlsym(lib, "clsSlanjeEMaila_SlanjeBezRecordSeta"));
  clsSlanjeEMaila* obj = create();
  long djeca = 0;
  const Mjerenje hladno = komponenta(bez, obj, &djeca);
  const Mjerenje toplo = komponenta(bez, obj, &djeca);
  long djecaGoli = 0;
  const Mjerenje goli = goliPogled(&djecaGoli);
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("composer cold: first paint %lld ms, editor ready %lld ms\n", hladno.slika, hladno.dokument);
  std::printf("composer warm: first paint %lld ms, editor ready %lld ms\n", toplo.slika, toplo.dokument);
  std::printf("bare web view dialog: first paint %lld ms, page ready %lld ms\n", goli.slika, goli.dokument);
  if (goli.dokument > 0)
    std::printf("ratio composer warm / bare view (ready): %.2f\n", double(toplo.dokument) / double(goli.dokument));
  std::printf("peak RSS of the process: %ld MB; render processes at warm paint: %ld MB (bare view: %ld MB)\n",
              ru.ru_maxrss / 1024, djeca / 1024, djecaGoli / 1024);
  return 0;
}
