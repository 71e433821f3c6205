// Bulk send over one session: COUNT personalised messages to one server, the same ones
// bulk_smtplib.py sends. Usage: bench_bulksend HOST PORT COUNT [html] — prints "velkor
// msgs/s: X". With "html" the body is the HTML document bench_composer_run sends, as the
// composer hands it to the engine.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "Ponuda.h"
#include "mail/clsSendMail.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4 && !(argc == 5 && QByteArray(argv[4]) == "html"))
    return std::fprintf(stderr, "usage: bench_bulksend HOST PORT COUNT [html]\n"), 2;
  const int count = std::atoi(argv[3]);
  const bool html = argc == 5;
  clsSendMail mail;
  int sent = 0, failed = 0;
  QObject::connect(&mail, &clsSendMail::SendSuccesful, [&] { ++sent; });
  QObject::connect(&mail, &clsSendMail::SendFailed, [&](const QString& e) {
    ++failed;
    std::fprintf(stderr, "%s", qPrintable(e));
  });
  mail.setSMTPHostValidation(0);
  mail.setSMTPHost(QString::fromLocal8Bit(argv[1]));
  mail.setSmtpPort(std::atoi(argv[2]));
  mail.setFrom("ponude@velkor.hr");
  mail.setFromDisplayName("Velkor prodaja");
  mail.setAsHTML(html);
  QElapsedTimer timer;
  timer.start();
  const double cpu = bench::cpuMikrosekunde();
  if (!mail.Connect()) return 1;
  for (int i = 1; i <= count && failed == 0; ++i) {
    const QString body = html ? bench::ponudaHtml() : bench::ponudaTekst(i);
    mail.setRecipient(QString("kupac%1@kupac.hr").arg(i));
    mail.setRecipientDisplayName(QString("Kupac Šimić %1").arg(i));
    mail.setSubject(QString("Ponuda za kupca br. %1").arg(i));
    mail.setMessage(body);
    mail.Send();
  }
  mail.Disconnect();
  const double seconds = timer.nsecsElapsed() / 1e9;
  std::printf("velkor sent: %d failed: %d seconds: %.3f\nvelkor cpu us/msg: %.1f\nvelkor msgs/s: %.1f\n", sent,
              failed, seconds, (bench::cpuMikrosekunde() - cpu) / sent, sent / seconds);
  return failed == 0 && sent == count ? 0 : 1;
}
