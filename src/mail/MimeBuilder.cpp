#include "mail/MimeBuilder.h"

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>

#include "mail/Base64.h"
#include "mail/BodyPreparation.h"
#include "mail/ContentTypes.h"
#include "mail/DateHeader.h"
#include "mail/EmbeddedFiles.h"
#include "mail/HeaderEncoding.h"
#include "mail/MessageId.h"
#include "mail/QuotedPrintable.h"
#include "mail/UUEncode.h"

namespace mail {
namespace {

constexpr qsizetype kBatchBytes = 16 * 1024;  // body and headers go out in batches of lines
constexpr int kUULinesPerChunk = 50;

// Collects complete lines and hands them to the sink in batches.
class Lines {
 public:
  Lines(MimeSink& sink, bool dotStuffing) : sink_(sink), dotStuffing_(dotStuffing) {}
  bool add(QByteArrayView line) {
    buffer_ += line;
    buffer_ += "\r\n";
    return buffer_.size() < kBatchBytes || flush();
  }
  // A line the builder made itself (not a header): SMTP transparency applies.
  bool addGenerated(QByteArrayView line) {
    if (dotStuffing_ && line.startsWith('.')) buffer_ += '.';
    return add(line);
  }
  // Lines that already end in CR LF (base64 chunks).
  bool addRaw(QByteArrayView lines) {
    buffer_ += lines;
    return buffer_.size() < kBatchBytes || flush();
  }
  bool flush() {
    if (buffer_.isEmpty()) return true;
    const bool ok = sink_.writeLines(buffer_);
    buffer_.clear();
    return ok;
  }
  MimeSink& sink() { return sink_; }

 private:
  MimeSink& sink_;
  bool dotStuffing_;
  QByteArray buffer_;
};

// Values every part of one message shares.
struct Context {
  QDateTime now;
  QString boundary;
  QString relatedBoundary;  // set when the HTML and its images nest inside a mixed message
  bool mime = true;
  bool multipart = false;
};

// HTML with embedded images and other attachments besides: the images belong with the
// HTML in a multipart/related, which is the first part of a multipart/mixed.
bool nestsRelated(const MimeInput& in) {
  if (!in.related || in.encodeType != 0) return false;
  bool embedded = false, other = false;
  for (const MimeAttachment& a : in.attachments) (a.embedded ? embedded : other) = true;
  return embedded && other;
}

QString relatedBoundaryFor(const QString& outer) {
  return QString(outer).replace(QLatin1String("_000_"), QLatin1String("_001_"));
}

QByteArrayList relatedOpening(const QString& inner) {
  return {"Content-Type: multipart/related;", "\tboundary=\"" + inner.toLatin1() + '"', "",
          "--" + inner.toLatin1()};
}

QByteArrayList relatedClosing(const QString& inner) { return {"--" + inner.toLatin1() + "--", ""}; }

bool addAll(const QByteArrayList& lines, Lines& w) {
  for (const QByteArray& line : lines)
    if (!w.add(line)) return false;
  return true;
}

QByteArray utf8Safe(const QString& text) { return headerSafe(text).toUtf8(); }

// Display name (or the address itself) as a header name, then " <address>".
QByteArray mailbox(const QString& address, const QString& displayName) {
  const QString name = displayName.trimmed().isEmpty() ? address.trimmed() : displayName;
  return encodeHeaderText(name, HeaderMode::Name) + " <" + utf8Safe(address) + '>';
}

QByteArray addressList(const QStringList& addresses, const QStringList& names) {
  QByteArrayList entries;
  for (qsizetype i = 0; i < addresses.size(); ++i)
    entries << mailbox(addresses[i], names.value(i));
  return entries.join(", \r\n\t");
}

QByteArray fromValue(const MimeInput& in) { return mailbox(in.from, in.fromDisplayName); }

bool writeAddressHeaders(const MimeInput& in, const Context& c, Lines& w) {
  bool ok = w.add("Message-ID: <" + messageId(in.messageIdHost, c.now).toUtf8() + '>');
  ok = ok && w.add("From: " + fromValue(in));
  ok = ok && w.add("To: " + addressList(in.recipients, in.recipientDisplayNames));
  if (ok && !in.ccRecipients.isEmpty())
    ok = w.add("Cc: " + addressList(in.ccRecipients, in.ccDisplayNames));
  ok = ok && w.add("Subject: " + encodeHeaderText(in.subject, HeaderMode::Plain));
  if (ok && !in.replyTo.isEmpty()) ok = w.add("Reply-to: <" + utf8Safe(in.replyTo) + '>');
  const QString zone = in.zoneOffset.isEmpty() ? localZoneOffsetText(c.now) : in.zoneOffset;
  return ok && w.add("Date: " + dateText(c.now.toLocalTime(), zone).toLatin1());
}

bool writeMimeHeaders(const MimeInput& in, const Context& c, Lines& w) {
  bool ok = w.add("MIME-Version: 1.0");
  if (ok && in.priority != 3) {
    ok = w.add("X-Priority: " + QByteArray::number(in.priority)) &&
         w.add("X-MSMail-Priority: " + utf8Safe(in.priorityWord));
  }
  if (ok && in.receipt) ok = w.add("Disposition-Notification-To: " + fromValue(in));
  if (ok && c.multipart) {
    const bool relatedTop = in.related && c.relatedBoundary.isEmpty();
    ok = w.add(relatedTop ? "Content-Type: multipart/related;" : "Content-Type: multipart/mixed;") &&
         w.add("\tboundary=\"" + c.boundary.toLatin1() + '"') && w.add("") &&
         w.add("This is a multi-part message in MIME format.") && w.add("") &&
         w.add("--" + c.boundary.toLatin1());
    if (ok && !c.relatedBoundary.isEmpty()) ok = addAll(relatedOpening(c.relatedBoundary), w);
  }
  ok = ok && w.add(in.asHtml ? "Content-Type: text/html;" : "Content-Type: text/plain;");
  ok = ok && w.add("\tcharset=\"utf-8\"");
  const char* encoding = in.quotedPrintable  ? "Content-Transfer-Encoding: quoted-printable"
                         : hasEightBit(in.body) ? "Content-Transfer-Encoding: 8bit"
                                                : "Content-Transfer-Encoding: 7bit";
  ok = ok && w.add(encoding);
  if (ok && in.asHtml && !in.contentBase.isEmpty())
    ok = w.add("Content-Base: " + quotedString(headerSafe(in.contentBase)));
  return ok;
}

// Body lines as prepared; a line still over 998 octets (a cid: rewrite can lengthen
// one) is broken here, and any bare line end becomes a line of its own.
bool writeBody(const QString& body, Lines& w) {
  const QStringList lines = body.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  for (const QString& line : lines) {
    const QStringList pieces = breakLongLine(line);
    if (!w.add(pieces.first().toUtf8())) return false;
    for (qsizetype i = 1; i < pieces.size(); ++i)
      if (!w.addGenerated(pieces[i].toUtf8())) return false;
  }
  return true;
}

bool writeQuotedPrintable(const QString& text, Lines& w) {
  for (const QByteArray& line : quotedPrintableLines(text))
    if (!w.add(line)) return false;
  return true;
}

// MIME parameter: plain quoted ASCII, else the RFC 2231 form.
QByteArray parameter(const char* name, const QString& value) {
  const QString safe = headerSafe(value);
  if (!needsHeaderEncoding(safe)) return QByteArray(name) + '=' + quotedString(safe);
  return QByteArray(name) + "*=utf-8''" + safe.toUtf8().toPercentEncoding();
}

bool writePartHeaders(const MimeAttachment& a, bool related, const QString& boundary, Lines& w) {
  const QString name = headerSafe(a.fileName);
  bool ok = w.add("--" + boundary.toLatin1()) &&
            w.add("Content-Type: " + attachmentContentType(name).toLatin1() + ';') &&
            w.add('\t' + parameter("name", name)) &&
            w.add("Content-Transfer-Encoding: base64") &&
            w.add("Content-Disposition: attachment;") &&
            w.add('\t' + parameter("filename", name));
  if (ok && a.embedded && related) ok = w.add("Content-ID: <" + contentIdFor(name).toLatin1() + '>');
  return ok && w.add("");
}

// Reads the whole of `want` bytes unless the file ends first; false on a read error.
bool readBlock(QFile& file, qint64 want, QByteArray& block, QString& error) {
  block.resize(want);
  const qint64 got = file.read(block.data(), want);
  if (got < 0) {
    error = file.errorString();
    return false;
  }
  block.resize(got);
  return true;
}

bool writeBase64File(QFile& file, Lines& w, QString& error) {
  QByteArray chunk;
  for (;;) {
    if (!readBlock(file, kBase64ChunkBytes, chunk, error)) return false;
    if (chunk.isEmpty()) return true;
    if (!w.addRaw(base64Encode(chunk)) || !w.flush() || !w.sink().chunkWritten()) return false;
  }
}

bool writeUUFile(QFile& file, Lines& w, QString& error) {
  QByteArray block;
  for (;;) {
    if (!readBlock(file, qint64(kUULineBytes) * kUULinesPerChunk, block, error)) return false;
    if (block.isEmpty()) return true;
    for (qsizetype at = 0; at < block.size(); at += kUULineBytes)
      if (!w.addGenerated(uuencodeLine(QByteArrayView(block).sliced(at, qMin<qsizetype>(kUULineBytes, block.size() - at)))))
        return false;
    if (!w.flush() || !w.sink().chunkWritten()) return false;
  }
}

bool writeAttachment(const MimeInput& in, const MimeAttachment& a, const Context& c, Lines& w,
                     QString& error) {
  w.sink().status((a.embedded ? QLatin1String("Sending Embedded File, ")
                              : QLatin1String("Sending Attachment, ")) + a.fileName +
                  QLatin1String("..."));
  QFile file(a.path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return false;
  }
  bool ok;
  if (c.mime) {
    const bool inner = a.embedded && !c.relatedBoundary.isEmpty();
    ok = writePartHeaders(a, in.related, inner ? c.relatedBoundary : c.boundary, w) &&
         writeBase64File(file, w, error) && w.add("");
  } else {
    ok = w.addGenerated("begin 600 " + utf8Safe(a.fileName)) && writeUUFile(file, w, error) &&
         w.add("end");
  }
  return ok && w.flush() && w.sink().attachmentWritten();
}

// The last eight upper-case hexadecimal digits of a value.
QString hex8(quint64 value) {
  return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper().right(8);
}

// Sink writing to a device, optionally as Unix text.
class DeviceSink : public MimeSink {
 public:
  DeviceSink(QIODevice& device, LineEnd lineEnd) : device_(device), lineEnd_(lineEnd) {}
  bool writeLines(QByteArrayView lines) override {
    if (lineEnd_ == LineEnd::CrLf) return device_.write(lines.data(), lines.size()) == lines.size();
    QByteArray text = lines.toByteArray();
    text.replace("\r\n", "\n");
    return device_.write(text) == text.size();
  }

 private:
  QIODevice& device_;
  LineEnd lineEnd_;
};

qint64 utf8Length(const QString& text) { return text.toUtf8().size(); }

qint64 listSize(const QStringList& list, int perEntry, int multiplier) {
  qint64 total = 0;
  for (qsizetype i = 0; i < list.size(); ++i)
    total += multiplier * utf8Length(list[i]) + perEntry + (i > 0 ? 6 : 0);
  return total;
}

qint64 namesSize(const QStringList& names) {
  qint64 total = 0;
  for (const QString& n : names) total += utf8Length(n) + 11;
  return total;
}

// The lines that open and close the related part inside a mixed message.
qint64 nestingSize(const MimeInput& in) {
  if (!nestsRelated(in)) return 0;
  const QString inner = relatedBoundaryFor(MimeBuilder::boundary(QDateTime::currentDateTime()));
  qint64 total = 0;
  for (const QByteArray& line : relatedOpening(inner) + relatedClosing(inner)) total += line.size() + 2;
  return total;
}

qint64 attachmentsSize(const MimeInput& in) {
  if (in.attachments.isEmpty()) return 0;
  qint64 bytes = 0, names = 0;
  for (const MimeAttachment& a : in.attachments) {
    bytes += QFileInfo(a.path).size();
    names += utf8Length(a.fileName);
  }
  const qint64 count = in.attachments.size();
  if (in.encodeType == 1) return bytes * 4 / 3 + (bytes / 45) * 3 + names + 20 * count;
  return bytes * 4 / 3 + 42 + (bytes / 57) * 2 + 2 * names + 182 * count + 290 + nestingSize(in);
}

}  // namespace

QString MimeBuilder::boundary(const QDateTime& now) {
  const QDateTime local = now.toLocalTime();
  const qint64 day = QDate(1899, 12, 30).daysTo(local.date());
  const double fraction = local.time().msecsSinceStartOfDay() / 86400000.0;
  return QLatin1String("----_=_NextPart_000_") + hex8(quint64(day)) + QLatin1Char('.') +
         hex8(quint64(qRound64(fraction * 1e8)));
}

bool MimeBuilder::write(const MimeInput& in, MimeSink& sink) {
  error_.clear();
  Context c;
  c.now = in.now.isValid() ? in.now : QDateTime::currentDateTime();
  c.boundary = boundary(c.now);
  c.mime = in.encodeType == 0;
  c.multipart = c.mime && !in.attachments.isEmpty();
  if (nestsRelated(in)) c.relatedBoundary = relatedBoundaryFor(c.boundary);
  Lines w(sink, in.dotStuffing);
  if (!writeAddressHeaders(in, c, w)) return false;
  if (c.mime && !writeMimeHeaders(in, c, w)) return false;
  const bool qp = c.mime && in.quotedPrintable;
  if (!w.add("") || !(qp ? writeQuotedPrintable(in.sourceBody, w) : writeBody(in.body, w)))
    return false;
  if (!in.attachments.isEmpty() && !w.add("")) return false;
  if (!w.flush()) return false;
  if (nestsRelated(in)) {
    // the related part's images first and closed, then the other attachments
    for (const MimeAttachment& a : in.attachments)
      if (a.embedded && !writeAttachment(in, a, c, w, error_)) return false;
    if (!addAll(relatedClosing(c.relatedBoundary), w)) return false;
    for (const MimeAttachment& a : in.attachments)
      if (!a.embedded && !writeAttachment(in, a, c, w, error_)) return false;
  } else {
    for (const MimeAttachment& a : in.attachments)
      if (!writeAttachment(in, a, c, w, error_)) return false;
  }
  if (c.multipart && !w.add("--" + c.boundary.toLatin1() + "--")) return false;
  return w.flush();
}

qint64 estimateSize(const MimeInput& in, const SizeExtras& extras) {
  const qint64 from = utf8Length(in.from);
  qint64 total = from + 93;
  if (extras.useAuthentication) {
    total += 25 + from;
    if (!extras.userName.isEmpty()) total += utf8Length(extras.userName) * 4 / 3;
    if (!extras.password.isEmpty()) total += utf8Length(extras.password) * 4 / 3;
  }
  total += listSize(in.recipients, 15, 2) + namesSize(in.recipientDisplayNames);
  total += listSize(in.ccRecipients, 15, 2) + namesSize(in.ccDisplayNames);
  total += listSize(in.bccRecipients, 15, 1);
  if (!in.fromDisplayName.isEmpty()) total += utf8Length(in.fromDisplayName) + 3;
  total += from;
  if (!in.replyTo.isEmpty()) total += utf8Length(in.replyTo) + 14;
  total += utf8Length(in.subject) + utf8Length(in.body);
  if (in.encodeType == 0) {
    total += 64;
    if (in.asHtml && !in.contentBase.isEmpty()) total += utf8Length(in.contentBase) + 18;
    if (in.receipt) total += 36 + utf8Length(in.fromDisplayName) + from;
  }
  return total + attachmentsSize(in);
}

bool writeMessage(const MimeInput& in, QIODevice& device, LineEnd lineEnd, QString* errorText) {
  MimeInput plain = in;
  plain.dotStuffing = false;
  DeviceSink sink(device, lineEnd);
  MimeBuilder builder;
  const bool ok = builder.write(plain, sink);
  if (errorText) *errorText = ok ? QString() : builder.errorText();
  if (!ok && errorText && errorText->isEmpty()) *errorText = device.errorString();
  return ok;
}

}  // namespace mail
