// velkor-sendmail: sends one message through the component's mail engine, for scripts
// and cron jobs. Progress texts go to standard error; the exit status tells the result:
// 0 sent, 1 a permanent failure (its explanation on standard error), 75 a temporary one
// (EX_TEMPFAIL: try again later), 2 a bad command line, 3 --mx found no mail exchanger.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <cstdio>

#include "SendMailOptions.h"
#include "mail/clsSendMail.h"

namespace {

constexpr int kTemporaryFailure = 75;

void printErr(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stderr);
  std::fputc('\n', stderr);
}

int runMxQuery(mail::clsSendMail& mail, const QString& domain) {
  const QString exchanger = mail.MXQuery(domain);
  if (exchanger.isEmpty()) return 3;
  std::printf("%s\n", exchanger.toLocal8Bit().constData());
  return 0;
}

int runSend(mail::clsSendMail& mail) {
  int result = 1;
  QObject::connect(&mail, &mail::clsSendMail::SendSuccesful, [&] { result = 0; });
  QObject::connect(&mail, &mail::clsSendMail::SendFailed, [&](const QString& explanation) {
    result = mail.lastFailureTemporary() ? kTemporaryFailure : 1;
    for (const QString& line : explanation.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
      printErr(QStringLiteral("velkor-sendmail: ") + line);
  });
  mail.Send();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("velkor-sendmail"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Sends one e-mail message over SMTP."));
  parser.addHelpOption();
  sendmail_tool::addOptions(parser);
  parser.addOption(
      {QStringLiteral("mx"), QStringLiteral("Print the mail exchanger of a domain."), QStringLiteral("domain")});
  parser.addOption({QStringLiteral("quiet"), QStringLiteral("No progress texts.")});
  parser.addOption({QStringLiteral("progress"), QStringLiteral("Print the percentage sent.")});
  parser.addOption({QStringLiteral("verbose"), QStringLiteral("Print every command and reply (passwords as ***).")});
  if (!parser.parse(app.arguments())) {
    printErr(QStringLiteral("velkor-sendmail: ") + parser.errorText());
    return 2;
  }
  if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
  if (!parser.positionalArguments().isEmpty()) {
    printErr(QStringLiteral("velkor-sendmail: unexpected argument ") + parser.positionalArguments().constFirst());
    return 2;
  }

  if (parser.isSet(QStringLiteral("verbose"))) {
    qSetMessagePattern(QStringLiteral("%{message}"));
    QLoggingCategory::setFilterRules(QStringLiteral("velkor.smtp.debug=true"));
  }
  mail::clsSendMail mail;
  if (!parser.isSet(QStringLiteral("quiet")))
    QObject::connect(&mail, &mail::clsSendMail::Status, [](const QString& s) { printErr(s); });
  if (parser.isSet(QStringLiteral("progress")))
    QObject::connect(&mail, &mail::clsSendMail::Progress,
                     [](int p) { printErr(QString::number(p) + QLatin1Char('%')); });
  if (parser.isSet(QStringLiteral("mx"))) return runMxQuery(mail, parser.value(QStringLiteral("mx")));

  QString error;
  if (!sendmail_tool::applyOptions(parser, mail, error)) {
    printErr(QStringLiteral("velkor-sendmail: ") + error);
    return 2;
  }
  return runSend(mail);
}
