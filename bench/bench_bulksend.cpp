// Bulk send over one session: N personalised messages to one server.
// Usage: bench_bulksend HOST PORT COUNT   — prints "velkor msgs/s: X".
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "BulkMessage.h"
#include "mail/clsSendMail.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_bulksend HOST PORT COUNT\n");
    return 2;
  }
  const int count = std::atoi(argv[3]);
  clsSendMail mail;
  int sent = 0, failed = 0;
  QObject::connect(&mail, &clsSendMail::SendSuccesful, [&] { ++sent; });
  QObject::connect(&mail, &clsSendMail::SendFailed, [&](const QString& e) {
    ++failed;
    std::fprintf(stderr, "%s", e.toLocal8Bit().constData());
  });
  mail.setSMTPHostValidation(0);
  mail.setSMTPHost(QString::fromLocal8Bit(argv[1]));
  mail.setSmtpPort(std::atoi(argv[2]));
  mail.setFrom(QStringLiteral("ponude@velkor.hr"));
  mail.setFromDisplayName(QStringLiteral("Velkor prodaja"));

  QElapsedTimer timer;
  timer.start();
  if (!mail.Connect()) return 1;
  for (int i = 1; i <= count && failed == 0; ++i) {
    mail.setRecipient(QStringLiteral("kupac%1@kupac.hr").arg(i));
    mail.setRecipientDisplayName(QStringLiteral("Kupac Šimić %1").arg(i));
    mail.setSubject(bulkSubject(i));
    mail.setMessage(bulkBody(i));
    mail.Send();
  }
  mail.Disconnect();
  const double seconds = timer.nsecsElapsed() / 1e9;
  std::printf("velkor sent: %d failed: %d seconds: %.3f\n", sent, failed, seconds);
  std::printf("velkor msgs/s: %.1f\n", sent / seconds);
  return failed == 0 && sent == count ? 0 : 1;
}
