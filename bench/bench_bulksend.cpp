// Bulk send over one session: COUNT personalised messages to one server, the same ones
// bulk_smtplib.py sends. Usage: bench_bulksend HOST PORT COUNT [html] [messages] — prints
// "velkor msgs/s: X" last. With "html" the body is the HTML document bench_composer_run
// sends, as the composer hands it to the engine. With "messages" each Send returns once its
// message is written and the outcomes arrive later (Flush waits for the last ones); a count
// of outcomes other than COUNT is printed as a "velkor FAILED" line.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "Ponuda.h"
#include "mail/clsSendMail.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QByteArrayList words;
  for (int i = 4; i < argc; ++i) words << argv[i];
  const bool html = words.removeAll("html") > 0, messages = words.removeAll("messages") > 0;
  if (argc < 4 || !words.isEmpty())
    return std::fprintf(stderr, "usage: bench_bulksend HOST PORT COUNT [html] [messages]\n"), 2;
  const int count = std::atoi(argv[3]);
  mail::clsSendMail mail;
  int sent = 0, failed = 0;
  QObject::connect(&mail, &mail::clsSendMail::SendSuccesful, [&] { ++sent; });
  QObject::connect(&mail, &mail::clsSendMail::SendFailed, [&](const QString& e) {
    ++failed;
    std::fprintf(stderr, "%s", qPrintable(e));
  });
  mail.setSMTPHostValidation(0);
  mail.setSMTPHost(QString::fromLocal8Bit(argv[1]));
  mail.setSmtpPort(std::atoi(argv[2]));
  mail.setFrom("ponude@velkor.hr");
  mail.setFromDisplayName("Velkor prodaja");
  mail.setAsHTML(html);
  mail.setPipelineMessages(messages);
  QElapsedTimer timer;
  timer.start();
  const double cpu = bench::cpuMikrosekunde();
  if (!mail.Connect()) return std::printf("velkor FAILED: no session\n"), 1;
  for (int i = 1; i <= count && failed == 0; ++i) {
    const QString body = html ? bench::ponudaHtml() : bench::ponudaTekst(i);
    mail.setRecipient(QString("kupac%1@kupac.hr").arg(i));
    mail.setRecipientDisplayName(QString("Kupac Šimić %1").arg(i));
    mail.setSubject(QString("Ponuda za kupca br. %1").arg(i));
    mail.setMessage(body);
    mail.Send();
  }
  const bool flushed = mail.Flush();
  mail.Disconnect();
  const double seconds = timer.nsecsElapsed() / 1e9;
  if (sent != count || failed != 0 || !flushed)
    std::printf("velkor FAILED: %d of %d messages reported sent, %d failed%s\n", sent, count, failed,
                flushed ? "" : ", Flush false");
  std::printf("velkor sent: %d failed: %d seconds: %.3f\nvelkor cpu us/msg: %.1f\nvelkor msgs/s: %.1f\n", sent,
              failed, seconds, (bench::cpuMikrosekunde() - cpu) / sent, sent / seconds);
  return failed == 0 && sent == count ? 0 : 1;
}
