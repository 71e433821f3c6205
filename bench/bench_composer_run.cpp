// A record-set run of COUNT customers through the composer (cmdPošaljiPrekoRS over one
// session) to one server, with the body bench_bulksend sends, so that the two figures
// differ by the composer's own work per message. Usage: bench_composer_run HOST COUNT —
// prints its CPU time per message and "composer msgs/s: X".
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "Ponuda.h"
#include "composer/HtmlEditor.h"
#include "composer/PostavkeComposera.h"
#include "composer/frmMain.h"
#include "platform/RecordSet.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

int main(int argc, char** argv) {
  QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  if (argc != 3) return std::fprintf(stderr, "usage: bench_composer_run HOST COUNT\n"), 2;
  const int count = std::atoi(argv[2]);
  TestEnv env;  // private settings: the run's host is stored like a user's
  ScriptedDialogs dialogs;
  if (!composer::SpremiSMTPIP(QString::fromLocal8Bit(argv[1]), 2)) return 1;
  platform::RecordSet rs({{"Ime"}, {"EMail"}});
  for (int i = 1; i <= count; ++i) rs.AddRow({QString("Kupac Šimić %1").arg(i), QString("kupac%1@kupac.hr").arg(i)});
  double seconds = 0, cpu = 0;
  int sent = 0;
  QTimer::singleShot(0, [&] {
    composer::frmMain* f = composer::frmMain::forma();
    f->findChild<QLineEdit*>("txtFrom")->setText("Velkor prodaja");
    f->findChild<QLineEdit*>("txtFrom")->setProperty("Tag", "ponude@velkor.hr");
    f->findChild<QLineEdit*>("txtSubject")->setText("Ponuda za kupca");
    f->Editor()->setDocumentHtml(bench::ponudaHtml());
    QElapsedTimer timer;
    timer.start();
    cpu = bench::cpuMikrosekunde();
    f->findChild<QPushButton*>("cmdPošaljiPrekoRS")->click();
    seconds = timer.nsecsElapsed() / 1e9;
    cpu = bench::cpuMikrosekunde() - cpu;
    sent = f->findChild<QListWidget*>("lstPoslano")->count();
    composer::frmMain::PostaviMijenjana(false);
    f->close();
  });
  composer::frmMain::forma()->PrikažiPrekoRS(rs);
  if (sent != count) std::fprintf(stderr, "%s\n", qPrintable(dialogs.texts().join("\n")));
  std::printf("composer sent: %d seconds: %.3f\ncomposer cpu us/msg: %.1f\ncomposer msgs/s: %.1f\n", sent, seconds,
              cpu / sent, sent / seconds);
  return sent == count ? 0 : 1;
}
