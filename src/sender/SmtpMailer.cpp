#include "sender/SmtpMailer.h"

#include <curl/curl.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QThread>
#include <QUrl>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "mail/DateHeader.h"
#include "mail/HeaderEncoding.h"
#include "mail/MessageId.h"
#include "sender/AttachmentParameters.h"
#include "sender/SmtpMessage.h"

namespace sender {

namespace {

struct SlistFree {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;
struct EasyFree {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MimeFree {
  void operator()(curl_mime* m) const { curl_mime_free(m); }
};

void append(Slist& list, const QByteArray& line) {
  curl_slist* l = curl_slist_append(list.get(), line.constData());
  if (!l) throw std::bad_alloc();
  list.release();
  list.reset(l);
}

// "Ime <adresa>" or a bare address.
struct NameAndAddress {
  QString name;
  QString address;
};
NameAndAddress splitFrom(const QString& from) {
  const int lt = from.lastIndexOf(QLatin1Char('<'));
  const int gt = from.lastIndexOf(QLatin1Char('>'));
  if (lt >= 0 && gt > lt) {
    QString name = from.left(lt).trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
      name = name.mid(1, name.size() - 2);
    return {name, from.mid(lt + 1, gt - lt - 1).trimmed()};
  }
  return {QString(), from.trimmed()};
}

QByteArray mailbox(const QString& name, const QString& address) {
  if (name.isEmpty()) return address.toUtf8();
  return mail::encodeHeaderText(name, mail::HeaderMode::Name) + " <" + address.toUtf8() + '>';
}

QByteArray addressList(const QList<SmtpMessage::Recipient>& list) {
  QByteArray out;
  for (const SmtpMessage::Recipient& r : list) {
    if (!out.isEmpty()) out += ",\r\n\t";
    out += mailbox(r.name, r.address);
  }
  return out;
}

bool unsafeAddress(const QString& a) {
  return a.isEmpty() || a.contains(QLatin1Char('\r')) || a.contains(QLatin1Char('\n')) ||
         a.contains(QLatin1Char('<')) || a.contains(QLatin1Char('>'));
}

// Mail text lines end in CR LF whatever the user's text used.
QByteArray crlfText(const QString& text) {
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return t.toUtf8();
}

struct Odgovori {
  QByteArray zadnji;
  QByteArray razlogOAuth;  // a refused token's status, decoded from the server's 334 challenge
};

// The server's replies, for an error text that says what the server said.
int collectReplies(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  if (type != CURLINFO_HEADER_IN) return 0;
  auto* o = static_cast<Odgovori*>(user);
  const QByteArray line = QByteArray(data, static_cast<qsizetype>(size)).trimmed();
  if (line.isEmpty()) return 0;
  o->zadnji = line;
  if (line.startsWith("334 ")) {
    const QByteArray json = QByteArray::fromBase64(line.mid(4));
    if (json.startsWith('{')) o->razlogOAuth = json.left(300);
  }
  return 0;
}

// Runs the transfer while the host's window keeps painting; user input waits until the
// send is over, as the form is blocked for its duration.
CURLcode performPumping(CURL* easy) {
  CURLM* multi = curl_multi_init();
  if (!multi) return CURLE_OUT_OF_MEMORY;
  curl_multi_add_handle(multi, easy);
  const bool pump = QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
  CURLcode result = CURLE_OK;
  int running = 1;
  while (running) {
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_SEND_ERROR;
      break;
    }
    if (!running) break;
    curl_multi_poll(multi, nullptr, 0, 10, nullptr);
    if (pump) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  int left = 0;
  while (CURLMsg* m = curl_multi_info_read(multi, &left))
    if (m->msg == CURLMSG_DONE) result = m->data.result;
  curl_multi_remove_handle(multi, easy);
  curl_multi_cleanup(multi);
  return result;
}

void check(CURLcode c) {
  if (c != CURLE_OK) throw std::runtime_error(curl_easy_strerror(c));
}

curl_mimepart* addPart(curl_mime* mime) {
  curl_mimepart* part = curl_mime_addpart(mime);
  if (!part) throw std::bad_alloc();
  return part;
}

void addBody(curl_mime* mime, const QString& body) {
  curl_mimepart* part = addPart(mime);
  const QByteArray text = crlfText(body);
  check(curl_mime_data(part, text.constData(), static_cast<size_t>(text.size())));
  check(curl_mime_type(part, "text/plain; charset=\"utf-8\""));
  check(curl_mime_encoder(part, "quoted-printable"));
}

void addAttachment(curl_mime* mime, const SmtpMessage::Attachment& a) {
  curl_mimepart* part = addPart(mime);
  check(curl_mime_filedata(part, QFile::encodeName(a.path).constData()));
  // The library's own file-name parameter is raw UTF-8: ours replace it.
  check(curl_mime_filename(part, nullptr));
  const QByteArray type = a.contentType.toLatin1() + ";\r\n\t" + smtpparam::nameParameter(a.fileName);
  check(curl_mime_type(part, type.constData()));
  check(curl_mime_encoder(part, "base64"));
  Slist headers;
  append(headers, "Content-Disposition: attachment;\r\n\t" + smtpparam::filenameParameter(a.fileName));
  check(curl_mime_headers(part, headers.release(), 1));
}

Slist messageHeaders(const SmtpMessage& m, const NameAndAddress& from) {
  Slist h;
  const QDateTime now = QDateTime::currentDateTime();
  append(h, "Date: " + mail::dateText(now, mail::localZoneOffsetText(now)).toLatin1());
  append(h, "From: " + mailbox(from.name, from.address));
  if (!m.to().isEmpty()) append(h, "To: " + addressList(m.to()));
  if (!m.cc().isEmpty()) append(h, "Cc: " + addressList(m.cc()));
  append(h, "Subject: " + mail::encodeHeaderText(m.subject(), mail::HeaderMode::Plain));
  const QString domain = from.address.section(QLatin1Char('@'), 1);
  append(h, "Message-ID: <" + mail::messageId(domain).toLatin1() + '>');
  return h;
}

Slist envelope(const SmtpMessage& m) {
  Slist rcpt;
  for (const auto* list : {&m.to(), &m.cc(), &m.bcc()})
    for (const SmtpMessage::Recipient& r : *list) append(rcpt, '<' + r.address.toUtf8() + '>');
  return rcpt;
}

}  // namespace

int SmtpMailer::sendEmail(const SmtpMessage& message) {
  error_.clear();
  try {
    return send(message) ? 1 : 0;
  } catch (const std::exception& e) {
    error_ = QStringLiteral("The mail library failed: %1").arg(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    error_ = QStringLiteral("The mail library failed with an unknown error.");
  }
  return 0;
}

QString SmtpMailer::url() const {
  QString host = host_.trimmed();
  if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
    host = QLatin1Char('[') + host + QLatin1Char(']');
  else if (!host.startsWith(QLatin1Char('['))) host = QString::fromLatin1(QUrl::toAce(host));
  QString u = (ssl_ ? QStringLiteral("smtps://") : QStringLiteral("smtp://")) + host;
  if (port_ > 0) u += QLatin1Char(':') + QString::number(port_);
  return u;
}

QString SmtpMailer::refusal(const SmtpMessage& m) const {
  const QString host = host_.trimmed();
  if (host.isEmpty()) return QStringLiteral("No SMTP host name is set.");
  for (const QChar c : QStringLiteral(" \t\r\n/\\?#@"))
    if (host.contains(c)) return QStringLiteral("Invalid SMTP host name: %1").arg(host.simplified());
  if (port_ < 0 || port_ > 65535) return QStringLiteral("Invalid SMTP port: %1").arg(port_);
  if (unsafeAddress(splitFrom(m.from()).address))
    return QStringLiteral("Invalid sender address: %1").arg(m.from().simplified());
  if (!m.refusedAddresses().isEmpty())
    return QStringLiteral("Invalid e-mail address: %1").arg(m.refusedAddresses().first().simplified());
  if (m.to().isEmpty() && m.cc().isEmpty() && m.bcc().isEmpty())
    return QStringLiteral("The message has no recipients.");
  return {};
}

bool SmtpMailer::send(const SmtpMessage& m) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  error_ = refusal(m);
  if (!error_.isEmpty()) return false;
  const NameAndAddress from = splitFrom(m.from());

  std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
  if (!easy) {
    error_ = QStringLiteral("Cannot create a mail connection.");
    return false;
  }
  CURL* c = easy.get();
  char errbuf[CURL_ERROR_SIZE] = {0};
  Odgovori odgovori;
  const QByteArray u = url().toUtf8(), user = user_.toUtf8(), pass = password_.toUtf8(), bearer = bearer_.toUtf8();
  const QByteArray mailFrom = '<' + from.address.toUtf8() + '>';
  curl_easy_setopt(c, CURLOPT_URL, u.constData());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
  curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, collectReplies);
  curl_easy_setopt(c, CURLOPT_DEBUGDATA, &odgovori);
  if (!user_.isEmpty()) curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
  if (!bearer_.isEmpty()) curl_easy_setopt(c, CURLOPT_XOAUTH2_BEARER, bearer.constData());
  else if (!password_.isEmpty()) curl_easy_setopt(c, CURLOPT_PASSWORD, pass.constData());
  // STARTTLS whenever the server offers it, so that no password goes out in clear to a
  // server that could have encrypted; the setting makes it required.
  if (!ssl_) curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(startTls_ ? CURLUSESSL_ALL : CURLUSESSL_TRY));
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  const QByteArray caFile = qgetenv("SSL_CERT_FILE");
  if (!caFile.isEmpty()) curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
  if (timeout_ > 0) {
    // Bounds the greeting, each reply and a stalled transfer, not a long upload as a whole.
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeout_));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(timeout_));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeout_));
  }
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, mailFrom.constData());
  Slist rcpt = envelope(m);
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
  Slist headers = messageHeaders(m, from);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  std::unique_ptr<curl_mime, MimeFree> mime(curl_mime_init(c));
  if (!mime) throw std::bad_alloc();
  addBody(mime.get(), m.body());
  for (const SmtpMessage::Attachment& a : m.attachments()) addAttachment(mime.get(), a);
  curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());

  const CURLcode result = performPumping(c);
  if (result == CURLE_OK) return true;
  error_ = QString::fromUtf8(*errbuf ? errbuf : curl_easy_strerror(result));
  if (!odgovori.zadnji.isEmpty())
    error_ += QStringLiteral("\r\nLast server reply: ") + QString::fromUtf8(odgovori.zadnji);
  if (!odgovori.razlogOAuth.isEmpty())
    error_ += QStringLiteral("\r\nToken refused: ") + QString::fromUtf8(odgovori.razlogOAuth);
  return false;
}

}  // namespace sender
