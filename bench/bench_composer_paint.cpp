// Time from the call of method 2 (SlanjeBezRecordSeta, through dlopen as a host calls it)
// to the composer's first paint and to its editor's first document, cold and warm, against
// a bare web view in a dialog of the same process; peak memory of this process and the
// render processes' memory at that moment. Prints figures, never passes or fails.
#include <dlfcn.h>
#include <sys/resource.h>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <cstdio>
#include <functional>

#include "VelkorSlanjeEMaila26.h"

namespace {

struct Mjerenje {
  qint64 slika = -1, dokument = -1;
  long djeca = 0;  // kilobytes of the render processes when the document was ready
};

// Kilobytes of resident memory of this process's child processes (Chromium's).
long rssDjece() {
  long ukupno = 0;
  for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
    QFile stat("/proc/" + pid + "/stat"), status("/proc/" + pid + "/status");
    if (!stat.open(QIODevice::ReadOnly) || stat.readAll().split(' ').value(3).toLong() != getpid() ||
        !status.open(QIODevice::ReadOnly))
      continue;
    for (const QByteArray& l : status.readAll().split('\n'))
      if (l.startsWith("VmRSS:")) ukupno += l.mid(6).trimmed().split(' ').value(0).toLong();
  }
  return ukupno;
}

// From its creation: the first paint of the window named ime, and gotovo() when its document is ready.
class Promatrac : public QObject {
 public:
  explicit Promatrac(const QString& ime) : ime_(ime) {
    qApp->installEventFilter(this);
    sat_.start();
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && m.slika < 0 && o->isWidgetType() &&
        static_cast<QWidget*>(o)->window()->objectName() == ime_)
      m.slika = sat_.elapsed();
    return false;
  }
  void gotovo() {
    m.dokument = sat_.elapsed();
    m.djeca = rssDjece();
  }
  Mjerenje m;

 private:
  QString ime_;
  QElapsedTimer sat_;
};

Mjerenje komponenta(decltype(&clsSlanjeEMaila_SlanjeBezRecordSeta) bez, clsSlanjeEMaila* obj) {
  Promatrac p("frmMain");
  // Waits for the composer and closes it once its editor's first document has loaded.
  std::function<void()> prati = [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      QWidget* editor = w->objectName() == "frmMain" && w->isVisible() ? w->findChild<QWidget*>("Editor") : nullptr;
      auto* pogled = editor ? editor->findChild<QWebEngineView*>() : nullptr;
      if (pogled && p.m.slika >= 0 && !pogled->page()->isLoading()) {
        p.gotovo();
        w->close();
        return;
      }
    }
    QTimer::singleShot(1, &p, prati);
  };
  QTimer::singleShot(1, &p, prati);
  const int32_t parametar = 0;
  bez(obj, &parametar);
  return p.m;
}

Mjerenje goliPogled() {
  Promatrac p("goli");
  QDialog d;
  d.setObjectName("goli");
  auto* v = new QWebEngineView(&d);
  (new QVBoxLayout(&d))->addWidget(v);
  d.resize(1000, 700);
  QObject::connect(v, &QWebEngineView::loadFinished, &d, [&] {
    p.gotovo();
    QTimer::singleShot(0, &d, &QDialog::accept);
  });
  v->setHtml("<html><body></body></html>");
  d.exec();
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
  const Mjerenje hladno = komponenta(bez, obj), toplo = komponenta(bez, obj), goli = goliPogled();
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("composer cold: first paint %lld ms, editor ready %lld ms\n", hladno.slika, hladno.dokument);
  std::printf("composer warm: first paint %lld ms, editor ready %lld ms\n", toplo.slika, toplo.dokument);
  std::printf("bare web view dialog: first paint %lld ms, page ready %lld ms\n", goli.slika, goli.dokument);
  if (goli.dokument > 0)
    std::printf("ratio composer warm / bare view (ready): %.2f\n", double(toplo.dokument) / double(goli.dokument));
  std::printf("peak RSS of the process: %ld MB; render processes at warm paint: %ld MB (bare view: %ld MB)\n",
              ru.ru_maxrss / 1024, toplo.djeca / 1024, goli.djeca / 1024);
  return 0;
}
