// User text on its way to the wire: a prepared body has only CR LF line ends, no line
// over 998 octets, every leading dot doubled and nothing lost; header words carry no
// line break and decode back to the text; cid: rewriting never loses what surrounds it.
// fuzz-sources: src/mail/BodyPreparation.cpp src/mail/HeaderEncoding.cpp src/mail/Base64.cpp src/mail/EmbeddedFiles.cpp
#include <cstddef>
#include <cstdint>

#include <QStringList>

#include "mail/Base64.h"
#include "mail/BodyPreparation.h"
#include "mail/EmbeddedFiles.h"
#include "mail/HeaderEncoding.h"

using namespace mail;

static void check(bool ok) {
  if (!ok) __builtin_trap();
}

static QString withoutLineEnds(QString text) {
  return text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
}

static void checkBody(const QString& text) {
  const PreparedBody body = prepareBody(text, true);
  QString rebuilt;
  for (QString line : body.text.split(QStringLiteral("\r\n"))) {
    check(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
    if (line.startsWith(QLatin1Char('.'))) {
      check(line.startsWith(QStringLiteral("..")));
      line.remove(0, 1);
    }
    check(line.toUtf8().size() <= kMaxLineOctets);
    rebuilt += line;
  }
  check(rebuilt == withoutLineEnds(text));
  check(body.eightBit == hasEightBit(text));
  check(prepareBody(text, false).text.size() <= body.text.size());
}

static void checkHeader(const QString& text) {
  const QByteArray value = encodeHeaderText(text, HeaderMode::Plain);
  QByteArray lines = value;
  lines.replace("\r\n\t", "");
  check(!lines.contains('\r') && !lines.contains('\n'));
  for (char c : value) check(quint8(c) < 128);
  if (!needsHeaderEncoding(headerSafe(text))) return;
  QByteArray decoded;
  for (const QByteArray& word : value.split('\t')) {
    const QByteArray w = word.trimmed();
    check(w.startsWith("=?UTF-8?B?") && w.endsWith("?=") && w.size() <= 68);
    const QByteArray piece = decodeBase64Bytes(w.mid(10, w.size() - 12));
    check(piece.size() <= kEncodedWordBytes);
    check(QString::fromUtf8(piece).toUtf8() == piece);  // no character cut in two
    decoded += piece;
  }
  check(QString::fromUtf8(decoded) == QString::fromUtf8(headerSafe(text).toUtf8()));
}

static void checkEmbedding(const QString& text) {
  const qsizetype split = text.indexOf(QChar(u'|'));
  if (split <= 0) return;
  QString body = text.mid(split + 1);
  const QString before = body;
  QList<MimeAttachment> attachments{{QString(), text.left(split)}};
  const bool related = embedFiles(body, attachments);
  check(related == attachments[0].embedded);
  if (!related) check(body == before);
  else check(body.contains(QLatin1String("cid:") + contentIdFor(text.left(split))));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  checkBody(text);
  checkHeader(text);
  checkEmbedding(text);
  return 0;
}
