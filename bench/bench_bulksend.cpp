// Bulk send over one session: COUNT personalised messages to one server, the same ones
// bulk_smtplib.py sends. Usage: bench_bulksend HOST PORT COUNT — prints "velkor msgs/s: X".
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "mail/clsSendMail.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) return std::fprintf(stderr, "usage: bench_bulksend HOST PORT COUNT\n"), 2;
  const int count = std::atoi(argv[3]);
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
  QElapsedTimer timer;
  timer.start();
  if (!mail.Connect()) return 1;
  for (int i = 1; i <= count && failed == 0; ++i) {
    QString body = QString("Poštovani kupče br. %1,\r\n\r\n").arg(i);
    for (int line = 1; line <= 16; ++line)
      body += QString("Redak %1 ponude: cijene su iskazane u eurima, isporuka čeka vašu potvrdu.\r\n").arg(line);
    mail.setRecipient(QString("kupac%1@kupac.hr").arg(i));
    mail.setRecipientDisplayName(QString("Kupac Šimić %1").arg(i));
    mail.setSubject(QString("Ponuda za kupca br. %1").arg(i));
    mail.setMessage(body + "\r\nLijep pozdrav,\r\nVelkor d.o.o.");
    mail.Send();
  }
  mail.Disconnect();
  const double seconds = timer.nsecsElapsed() / 1e9;
  std::printf("velkor sent: %d failed: %d seconds: %.3f\nvelkor msgs/s: %.1f\n", sent, failed, seconds, sent / seconds);
  return failed == 0 && sent == count ? 0 : 1;
}
