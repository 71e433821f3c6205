#include "mail/SmtpCapabilities.h"

#include <cctype>

namespace mail {

int replyCode(const QByteArray& reply) {
  if (reply.size() < 3) return 0;
  for (int i = 0; i < 3; ++i)
    if (!std::isdigit(uchar(reply[i]))) return 0;
  if (reply.size() > 3 && reply[3] != ' ' && reply[3] != '-' && reply[3] != '\r' && reply[3] != '\n') return 0;
  return reply.left(3).toInt();
}

SmtpCapabilities SmtpCapabilities::fromEhloReply(const QByteArray& reply) {
  SmtpCapabilities caps;
  const QList<QByteArray> lines = reply.split('\n');
  // The first line greets; each further line names one extension and its parameters.
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QList<QByteArray> words = lines[i].mid(4).trimmed().toUpper().split(' ');
    const QByteArray& name = words.first();
    if (name == "PIPELINING") caps.pipelining = true;
    else if (name == "8BITMIME") caps.eightBitMime = true;
    else if (name == "STARTTLS") caps.startTls = true;
    else if (name == "SMTPUTF8") caps.smtpUtf8 = true;
    else if (name == "AUTH" || name.startsWith("AUTH="))
      for (qsizetype w = name == "AUTH" ? 1 : 0; w < words.size(); ++w) {
        const QString mech = QString::fromLatin1(words[w].startsWith("AUTH=") ? words[w].mid(5) : words[w]);
        if (!mech.isEmpty() && !caps.authMechanisms.contains(mech)) caps.authMechanisms << mech;
      }
  }
  return caps;
}

}  // namespace mail
