#include "mail/MimeBuilder.h"

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <QRegularExpression>

#include "mail/Base64.h"
#include "mail/BodyPreparation.h"
#include "mail/ContentTypes.h"
#include "mail/DateHeader.h"
#include "mail/EmbeddedFiles.h"
#include "mail/HeaderEncoding.h"
#include "mail/HtmlText.h"
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
  bool mime = true;
  bool textHeaders = false;  // UUEncode mode with the MIME headers of a text/plain message
  bool bodyQp = false;
  // The multiparts, outermost first, and where each kind stands among them (-1: absent).
  QStringList types, boundaries;
  int mixed = -1, related = -1, alternative = -1;
  QString plain;  // the text/plain alternative of an HTML body
  bool plainQp = false;
};

// Attachments that stand apart from the body (not images the HTML shows) go into a
// multipart/mixed; images the HTML shows go with it into a multipart/related; an HTML
// body comes with its plain text in a multipart/alternative.
void layOut(const MimeInput& in, Context& c) {
  if (!c.mime) return;
  bool embedded = false, other = false;
  for (const MimeAttachment& a : in.attachments) (a.embedded && in.related ? embedded : other) = true;
  auto add = [&](const char* type, int& level) {
    level = int(c.types.size());
    c.types << QLatin1String(type);
  };
  if (other) add("mixed", c.mixed);
  if (embedded) add("related", c.related);
  if (in.asHtml) add("alternative", c.alternative);
}

QString randomBoundaryId() {
  auto* random = QRandomGenerator::global();
  const auto hex8 = [](quint32 v) { return QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0')).toUpper(); };
  return hex8(random->generate()) + QLatin1Char('.') + hex8(random->generate());
}

bool hasLineStarting(const QString& text, const QString& start) {
  return text.startsWith(start) || text.contains(QLatin1Char('\n') + start) || text.contains(QLatin1Char('\r') + start);
}

// Boundaries no enclosed text can hold as a line of its own. Base64 and quoted-printable
// never write "=_"; only text written as it is needs looking at.
void chooseBoundaries(const MimeInput& in, Context& c) {
  if (c.types.isEmpty()) return;
  QStringList raw;
  if (!c.bodyQp) raw << in.body;
  if (c.alternative >= 0 && !c.plainQp) raw << c.plain;
  QString id = in.boundaryId.isEmpty() ? randomBoundaryId() : in.boundaryId;
  for (int attempt = 0; attempt < 100; ++attempt, id = randomBoundaryId()) {
    bool clash = false;
    for (int depth = 0; depth < c.types.size() && !clash; ++depth)
      for (const QString& text : raw)
        clash = clash || hasLineStarting(text, QLatin1String("--") + MimeBuilder::boundary(id, depth));
    if (!clash) break;
  }
  for (int depth = 0; depth < c.types.size(); ++depth) c.boundaries << MimeBuilder::boundary(id, depth);
}

Context contextFor(const MimeInput& in) {
  Context c;
  c.now = in.now.isValid() ? in.now : QDateTime::currentDateTime();
  c.mime = in.encodeType == 0;
  c.textHeaders = !c.mime && (in.quotedPrintable || hasEightBitText(in));
  c.bodyQp = in.quotedPrintable && (c.mime || c.textHeaders);
  layOut(in, c);
  if (c.alternative >= 0) {
    c.plain = htmlToPlainText(in.sourceBody.isEmpty() ? in.body : in.sourceBody);
    c.plainQp = hasOverlongLine(c.plain) || (hasEightBit(c.plain) && !in.eightBitMime);
  }
  chooseBoundaries(in, c);
  return c;
}

QByteArray utf8Safe(const QString& text) { return headerSafe(text).toUtf8(); }

// Display name (or the address itself) as a header name, then " <address>".
QByteArray mailbox(const QString& address, const QString& displayName) {
  const QString name = displayName.trimmed().isEmpty() ? address.trimmed() : displayName;
  return encodeHeaderText(name, HeaderMode::Name) + " <" + utf8Safe(address) + '>';
}

QByteArray addressList(const QStringList& addresses, const QStringList& names) {
  QByteArrayList entries;
  for (qsizetype i = 0; i < addresses.size(); ++i) entries << mailbox(addresses[i], names.value(i));
  return entries.join(", \r\n\t");
}

QByteArray fromValue(const MimeInput& in) { return mailbox(in.from, in.fromDisplayName); }

// No header goes out without a value: a message for Bcc recipients only has no To,
// one without a subject no Subject.
bool writeAddressHeaders(const MimeInput& in, const Context& c, Lines& w) {
  const QString domain = in.messageIdHost.isEmpty() ? senderDomain(in.from) : in.messageIdHost;
  bool ok = w.add("Message-ID: <" + messageId(domain, c.now).toUtf8() + '>');
  ok = ok && w.add("From: " + fromValue(in));
  if (ok && !in.recipients.isEmpty()) ok = w.add("To: " + addressList(in.recipients, in.recipientDisplayNames));
  if (ok && !in.ccRecipients.isEmpty()) ok = w.add("Cc: " + addressList(in.ccRecipients, in.ccDisplayNames));
  if (ok && !headerSafe(in.subject).trimmed().isEmpty())
    ok = w.add("Subject: " + encodeHeaderText(in.subject, HeaderMode::Plain));
  if (ok && !in.replyTo.isEmpty()) ok = w.add("Reply-to: <" + utf8Safe(in.replyTo) + '>');
  if (ok && !in.listUnsubscribe.isEmpty())
    ok = w.add("List-Unsubscribe: <mailto:" + utf8Safe(in.listUnsubscribe) + "?subject=odjava>");
  const QString zone = in.zoneOffset.isEmpty() ? localZoneOffsetText(c.now) : in.zoneOffset;
  return ok && w.add("Date: " + dateText(c.now.toLocalTime(), zone).toLatin1());
}

// The word a priority number stands for; none for normal and for numbers without one.
const char* priorityWordOf(int priority) { return priority == 1 ? "High" : priority == 5 ? "Low" : nullptr; }

QByteArray transferEncoding(bool quotedPrintable, bool eightBit) {
  return QByteArray("Content-Transfer-Encoding: ") + (quotedPrintable ? "quoted-printable"
                                                      : eightBit      ? "8bit"
                                                                      : "7bit");
}

bool writeTextHeaders(const char* subtype, const QByteArray& encoding, Lines& w) {
  return w.add(QByteArray("Content-Type: text/") + subtype + ';') && w.add("\tcharset=\"utf-8\"") && w.add(encoding);
}

bool writeMultipartHeader(const Context& c, int level, Lines& w) {
  return w.add("Content-Type: multipart/" + c.types[level].toLatin1() + ';') &&
         w.add("\tboundary=\"" + c.boundaries[level].toLatin1() + '"') && w.add("");
}

// Lines of text the builder made itself, as they are or quoted-printable.
bool writeText(const QString& text, bool quotedPrintable, Lines& w) {
  if (quotedPrintable) {
    for (const QByteArray& line : quotedPrintableLines(text))
      if (!w.add(line)) return false;
    return true;
  }
  for (const QString& line : text.split(QLatin1Char('\n')))
    if (!w.addGenerated(line.toUtf8())) return false;
  return true;
}

// Everything before the body's own text: the MIME headers, the openings of the
// multiparts, an HTML body's plain-text alternative, and the body part's headers.
bool writeMimeHeaders(const MimeInput& in, const Context& c, Lines& w) {
  bool ok = w.add("MIME-Version: 1.0");
  if (const char* word = c.mime ? priorityWordOf(in.priority) : nullptr; ok && word)
    ok = w.add("X-Priority: " + QByteArray::number(in.priority)) && w.add(QByteArray("X-MSMail-Priority: ") + word);
  if (ok && c.mime && in.receipt) ok = w.add("Disposition-Notification-To: " + fromValue(in));
  if (ok && !c.types.isEmpty())
    ok = writeMultipartHeader(c, 0, w) && w.add("This is a multi-part message in MIME format.") && w.add("");
  for (int level = 1; ok && level < c.types.size(); ++level)
    ok = w.add("--" + c.boundaries[level - 1].toLatin1()) && writeMultipartHeader(c, level, w);
  if (ok && !c.types.isEmpty()) ok = w.add("--" + c.boundaries.last().toLatin1());
  if (ok && c.alternative >= 0) {
    ok = writeTextHeaders("plain", transferEncoding(c.plainQp, hasEightBit(c.plain)), w) && w.add("") &&
         writeText(c.plain, c.plainQp, w) && w.add("") && w.add("--" + c.boundaries[c.alternative].toLatin1());
  }
  const bool eightBit = c.mime ? hasEightBit(in.body) : hasEightBitText(in);
  ok = ok && writeTextHeaders(in.asHtml ? "html" : "plain", transferEncoding(c.bodyQp, eightBit), w);
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
            w.add('\t' + parameter("name", name)) && w.add("Content-Transfer-Encoding: base64") &&
            w.add("Content-Disposition: attachment;") && w.add('\t' + parameter("filename", name));
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

// A line of the uuencoded text; inside a quoted-printable body it is encoded like the
// rest ("=" becomes "=3D"), and a reader decoding the body gets the line back unchanged.
bool addUULine(QByteArrayView line, const Context& c, Lines& w) {
  if (!c.bodyQp) return w.addGenerated(line);
  for (const QByteArray& piece : quotedPrintableLines(QString::fromUtf8(line)))
    if (!w.add(piece)) return false;
  return true;
}

bool writeUUFile(QFile& file, const Context& c, Lines& w, QString& error) {
  QByteArray block;
  for (;;) {
    if (!readBlock(file, qint64(kUULineBytes) * kUULinesPerChunk, block, error)) return false;
    if (block.isEmpty()) return true;
    for (qsizetype at = 0; at < block.size(); at += kUULineBytes)
      if (!addUULine(uuencodeLine(QByteArrayView(block).sliced(at, qMin<qsizetype>(kUULineBytes, block.size() - at))),
                     c, w))
        return false;
    if (!w.flush() || !w.sink().chunkWritten()) return false;
  }
}

bool writeAttachment(const MimeInput& in, const MimeAttachment& a, const Context& c, Lines& w, QString& error) {
  w.sink().status((a.embedded ? QLatin1String("Sending Embedded File, ") : QLatin1String("Sending Attachment, ")) +
                  a.fileName + QLatin1String("..."));
  QFile file(a.path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return false;
  }
  bool ok;
  if (c.mime) {
    const bool inner = a.embedded && c.related >= 0;
    ok = writePartHeaders(a, inner, c.boundaries[inner ? c.related : c.mixed], w) && writeBase64File(file, w, error) &&
         w.add("");
  } else {
    ok = addUULine("begin 600 " + utf8Safe(a.fileName), c, w) && writeUUFile(file, c, w, error) && w.add("end");
  }
  return ok && w.flush() && w.sink().attachmentWritten();
}

// The closing delimiter of a multipart; an inner one is followed by an empty line.
bool closeMultipart(const Context& c, int level, Lines& w) {
  return w.add("--" + c.boundaries[level].toLatin1() + "--") && (level == 0 || w.add(""));
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
  for (qsizetype i = 0; i < list.size(); ++i) total += multiplier * utf8Length(list[i]) + perEntry + (i > 0 ? 6 : 0);
  return total;
}

qint64 namesSize(const QStringList& names) {
  qint64 total = 0;
  for (const QString& n : names) total += utf8Length(n) + 11;
  return total;
}

// The lines of the multiparts themselves, the MIME headers of a UUEncode message that
// needs them, and an HTML body's plain text with its part headers.
qint64 structureSize(const MimeInput& in) {
  Context c;
  c.mime = in.encodeType == 0;
  layOut(in, c);
  if (!c.mime) return hasEightBitText(in) ? 100 : 0;
  constexpr qint64 kDelimiter = 44, kMultipartHeader = 84, kTextHeaders = 80;
  qint64 total = 0;
  if (!c.types.isEmpty() && in.attachments.isEmpty()) total += kMultipartHeader + 50;  // else counted with them
  if (c.types.size() > 1) total += (c.types.size() - 1) * (2 * kDelimiter + kMultipartHeader + 4);
  if (c.alternative >= 0) {
    total += kTextHeaders + kDelimiter + 4;
    total += utf8Length(htmlToPlainText(in.sourceBody.isEmpty() ? in.body : in.sourceBody));
  }
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
  return bytes * 4 / 3 + 42 + (bytes / 57) * 2 + 2 * names + 182 * count + 290;
}

}  // namespace

QString MimeBuilder::boundary(const QString& id, int depth) {
  return QLatin1String("----_=_NextPart_00") + QString::number(depth) + QLatin1Char('_') + id;
}

bool MimeBuilder::write(const MimeInput& in, MimeSink& sink) {
  error_.clear();
  const Context c = contextFor(in);
  Lines w(sink, in.dotStuffing);
  if (!writeAddressHeaders(in, c, w)) return false;
  if ((c.mime || c.textHeaders) && !writeMimeHeaders(in, c, w)) return false;
  if (!w.add("") || !(c.bodyQp ? writeText(in.sourceBody, true, w) : writeBody(in.body, w))) return false;
  if (c.alternative >= 0 && !(w.add("") && closeMultipart(c, c.alternative, w))) return false;
  if (!in.attachments.isEmpty() && c.alternative < 0 && !w.add("")) return false;
  if (!w.flush()) return false;
  // the images that go with the HTML first, closing their part, then the other files
  for (const bool embedded : {true, false}) {
    for (const MimeAttachment& a : in.attachments)
      if ((c.related >= 0 && a.embedded) == embedded && !writeAttachment(in, a, c, w, error_)) return false;
    if (embedded && c.related >= 0 && !closeMultipart(c, c.related, w)) return false;
  }
  if (c.mixed >= 0 && !closeMultipart(c, c.mixed, w)) return false;
  return w.flush();
}

bool hasEightBitText(const MimeInput& in) {
  if (hasEightBit(in.body)) return true;
  if (in.encodeType != 1) return false;
  for (const MimeAttachment& a : in.attachments)
    if (hasEightBit(a.fileName)) return true;
  return false;
}

void chooseTransferEncoding(MimeInput& in, bool serverTakesEightBit) {
  in.eightBitMime = serverTakesEightBit;
  in.quotedPrintable = hasOverlongLine(in.sourceBody) || (hasEightBitText(in) && !serverTakesEightBit);
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
  if (!in.listUnsubscribe.isEmpty()) total += utf8Length(in.listUnsubscribe) + 46;
  total += utf8Length(in.subject) + utf8Length(in.body);
  if (in.encodeType == 0) {
    total += 64;
    if (in.asHtml && !in.contentBase.isEmpty()) total += utf8Length(in.contentBase) + 18;
    if (in.receipt) total += 36 + utf8Length(in.fromDisplayName) + from;
  }
  return total + attachmentsSize(in) + structureSize(in);
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
