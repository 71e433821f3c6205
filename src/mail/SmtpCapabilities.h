#pragma once
#include <QByteArray>
#include <QStringList>

// The extensions an EHLO reply offers, read from the whole reply at once.
namespace mail {

struct SmtpCapabilities {
  bool pipelining = false;
  bool eightBitMime = false;
  bool startTls = false;
  bool smtpUtf8 = false;       // RFC 6531: addresses and headers in UTF-8
  QStringList authMechanisms;  // upper case, in the server's order

  static SmtpCapabilities fromEhloReply(const QByteArray& reply);
};

// The reply code of a reply ("250-…" lines up to "250 …"); 0 when it has none.
int replyCode(const QByteArray& reply);

}  // namespace mail
