#include <QBuffer>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include "mail/BodyPreparation.h"
#include "mail/EmbeddedFiles.h"
#include "mail/MimeBuilder.h"
#include "support/TestEnv.h"

using namespace mail;

namespace {

// Keeps everything the builder hands over, and how it was handed over.
class RecordingSink : public MimeSink {
 public:
  QByteArray data;
  QStringList statuses;
  int calls = 0, chunks = 0, attachments = 0;
  qsizetype largestCall = 0;
  int failAtCall = -1;  // refuse this call (0-based) and stop

  bool writeLines(QByteArrayView lines) override {
    if (calls++ == failAtCall) return false;
    if (!lines.endsWith("\r\n")) qWarning("a write did not end with CR LF");
    largestCall = qMax(largestCall, lines.size());
    data += lines;
    return true;
  }
  bool chunkWritten() override { ++chunks; return true; }
  bool attachmentWritten() override { ++attachments; return true; }
  void status(const QString& text) override { statuses << text; }
};

QByteArray sha256(const QByteArray& data) {
  return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

QByteArray randomBytes(qsizetype n) {
  QByteArray b(n, Qt::Uninitialized);
  QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(b.data()), n / 4);
  for (qsizetype i = n / 4 * 4; i < n; ++i) b[i] = char(i);
  return b;
}

// What an SMTP server does with the data: a leading "." of a line is removed.
QByteArray unstuff(const QByteArray& data) {
  QByteArrayList lines = data.split('\n');
  for (QByteArray& l : lines)
    if (l.startsWith('.')) l.remove(0, 1);
  return lines.join('\n');
}

QList<QByteArray> headerNames(const QByteArray& message) {
  QList<QByteArray> names;
  for (const QByteArray& line : message.left(message.indexOf("\r\n\r\n")).split('\n'))
    if (!line.startsWith('\t')) names << line.left(line.indexOf(':'));
  return names;
}

MimeInput baseInput() {
  MimeInput in;
  in.from = QStringLiteral("prodaja@tvrtka.hr");
  in.fromDisplayName = QStringLiteral("Prodaja Tvrtka");
  in.recipients = {QStringLiteral("ivan@kupac.hr"), QStringLiteral("ana@kupac.hr")};
  in.recipientDisplayNames = {QStringLiteral("Ivan Horvat"), QStringLiteral("Ana Kovačević")};
  in.subject = QStringLiteral("Ponuda za siječanj: čćđšž ČĆĐŠŽ");
  in.body = prepareBody(QStringLiteral("Poštovani,\r\n.\r\nšaljemo ponudu.\r\n"), false).text;
  in.messageIdHost = QStringLiteral("mail.tvrtka.hr");
  in.zoneOffset = QStringLiteral("+0100");
  in.now = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 22));
  in.dotStuffing = false;
  return in;
}

}  // namespace

class TestMimeBuilder : public QObject {
  Q_OBJECT
  TestEnv env_;
  int files_ = 0;

  QString writeFile(const QString& name, const QByteArray& content) {
    return env_.writeFile(QStringLiteral("f%1/").arg(++files_) + name, content);
  }

  QByteArray build(const MimeInput& in, RecordingSink* recorder = nullptr) {
    RecordingSink local;
    RecordingSink& sink = recorder ? *recorder : local;
    MimeBuilder builder;
    if (!builder.write(in, sink)) qWarning() << "write failed:" << builder.errorText();
    return sink.data;
  }

  // The strict third-party parse of a message.
  QJsonObject check(const QByteArray& message) {
    const QString path = env_.path(QStringLiteral("m%1.eml").arg(++files_));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(message) != message.size()) return {};
    f.close();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VELKOR_SOURCE_DIR "/tests/peers/check_message.py"), path});
    python.waitForFinished(60000);
    const QJsonObject result = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    if (result.isEmpty()) qWarning() << python.readAllStandardError();
    return result;
  }

  static void verifyClean(const QJsonObject& r) {
    QVERIFY2(!r.isEmpty(), "checker gave no result");
    QVERIFY2(r[QStringLiteral("problems")].toArray().isEmpty(),
             QJsonDocument(r[QStringLiteral("problems")].toArray()).toJson().constData());
  }

 private slots:
  void plainMessageInMimeMode() {
    const QByteArray m = build(baseInput());
    QCOMPARE(headerNames(m), (QList<QByteArray>{"Message-ID", "From", "To", "Subject", "Date",
                                                "MIME-Version", "Content-Type",
                                                "Content-Transfer-Encoding"}));
    QVERIFY(m.contains("\r\nDate: Sat, 5 Dec 2026 09:05:22 +0100\r\n"));
    QVERIFY(m.contains("\tcharset=\"utf-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"));
    const QJsonObject r = check(m);
    verifyClean(r);
    QCOMPARE(r[QStringLiteral("subject")].toString(), baseInput().subject);
    const QJsonArray to = r[QStringLiteral("to")].toArray();
    QCOMPARE(to.size(), 2);
    QCOMPARE(to[1].toObject()[QStringLiteral("name")].toString(), QStringLiteral("Ana Kovačević"));
    QCOMPARE(to[1].toObject()[QStringLiteral("address")].toString(), QStringLiteral("ana@kupac.hr"));
    QCOMPARE(r[QStringLiteral("from")].toArray()[0].toObject()[QStringLiteral("name")].toString(),
             QStringLiteral("Prodaja Tvrtka"));
    QVERIFY(r[QStringLiteral("message_id")].toString().endsWith(QLatin1String("@mail.tvrtka.hr>")));
    QCOMPARE(r[QStringLiteral("text")].toString(),
             QStringLiteral("Poštovani,\r\n.\r\nšaljemo ponudu.\r\n\r\n"));
    QCOMPARE(r[QStringLiteral("tree")].toObject()[QStringLiteral("type")].toString(),
             QStringLiteral("text/plain"));
  }

  void optionalHeadersInOrder() {
    MimeInput in = baseInput();
    in.ccRecipients = {QStringLiteral("sef@tvrtka.hr")};
    in.replyTo = QStringLiteral("odgovor@tvrtka.hr");
    in.priority = 1;
    in.priorityWord = QStringLiteral("High");
    in.receipt = true;
    in.body = QStringLiteral("ASCII only");
    const QByteArray m = build(in);
    QCOMPARE(headerNames(m),
             (QList<QByteArray>{"Message-ID", "From", "To", "Cc", "Subject", "Reply-to", "Date",
                                "MIME-Version", "X-Priority", "X-MSMail-Priority",
                                "Disposition-Notification-To", "Content-Type",
                                "Content-Transfer-Encoding"}));
    QVERIFY(m.contains("\r\nX-Priority: 1\r\nX-MSMail-Priority: High\r\n"));
    QVERIFY(m.contains("\r\nCc: \"sef@tvrtka.hr\" <sef@tvrtka.hr>\r\n"));
    QVERIFY(m.contains("Content-Transfer-Encoding: 7bit"));
    const QJsonObject r = check(m);
    verifyClean(r);
    QCOMPARE(r[QStringLiteral("cc")].toArray()[0].toObject()[QStringLiteral("address")].toString(),
             QStringLiteral("sef@tvrtka.hr"));
    QCOMPARE(r[QStringLiteral("reply_to")].toArray()[0].toObject()[QStringLiteral("address")].toString(),
             QStringLiteral("odgovor@tvrtka.hr"));
  }

  void onlyBccRecipients() {
    MimeInput in = baseInput();
    in.recipients.clear();
    in.recipientDisplayNames.clear();
    in.bccRecipients = {QStringLiteral("skriveni@kupac.hr")};
    const QByteArray m = build(in);
    QVERIFY(m.contains("\r\nTo: \r\n"));
    QVERIFY(!m.contains("skriveni"));
    const QJsonObject r = check(m);
    verifyClean(r);
    QVERIFY(r[QStringLiteral("to")].toArray().isEmpty());
  }

  void userTextCannotAddHeaders() {
    MimeInput in = baseInput();
    in.subject = QStringLiteral("Hi\r\nBcc: victim@example.com");
    in.fromDisplayName = QStringLiteral("Eve\nX-Injected: 1");
    in.recipientDisplayNames = {QStringLiteral("a\rb"), QStringLiteral("Ana\r\nX-Other: č")};
    const QByteArray m = build(in);
    const QJsonObject r = check(m);
    verifyClean(r);
    const QJsonArray names = r[QStringLiteral("headers")].toArray();
    QVERIFY(!names.contains(QStringLiteral("Bcc")));
    QVERIFY(!names.contains(QStringLiteral("X-Injected")));
    QVERIFY(!names.contains(QStringLiteral("X-Other")));
    QCOMPARE(r[QStringLiteral("subject")].toString(), QStringLiteral("Hi  Bcc: victim@example.com"));
  }

  void uuencodeModeHeadersAndBlocks() {
    MimeInput in = baseInput();
    in.encodeType = 1;
    in.priority = 5;
    in.priorityWord = QStringLiteral("Low");
    in.receipt = true;
    const QByteArray small = "abc";
    const QByteArray odd = randomBytes(45 * 7 + 14);  // last line starts with "."
    in.attachments = {{writeFile(QStringLiteral("a.txt"), small), QStringLiteral("a.txt")},
                      {writeFile(QStringLiteral("data.bin"), odd), QStringLiteral("data.bin")}};
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    QCOMPARE(headerNames(m), (QList<QByteArray>{"Message-ID", "From", "To", "Subject", "Date"}));
    QVERIFY(m.contains("\r\n\r\nbegin 600 a.txt\r\n#86)C\r\nend\r\nbegin 600 data.bin\r\nM"));
    QVERIFY(m.contains("\r\n.") && !m.contains("\r\n.."));  // no transparency without SMTP
    QCOMPARE(sink.statuses, (QStringList{QStringLiteral("Sending Attachment, a.txt..."),
                                         QStringLiteral("Sending Attachment, data.bin...")}));
    QCOMPARE(sink.attachments, 2);
    const QJsonObject r = check(m);
    verifyClean(r);
    const QJsonArray blocks = r[QStringLiteral("uuencoded")].toArray();
    QCOMPARE(blocks.size(), 2);
    QCOMPARE(blocks[0].toObject()[QStringLiteral("sha256")].toString().toLatin1(), sha256(small));
    QCOMPARE(blocks[1].toObject()[QStringLiteral("sha256")].toString().toLatin1(), sha256(odd));
  }

  void smtpTransparencyCoversGeneratedLines() {
    MimeInput in = baseInput();
    in.encodeType = 1;
    in.dotStuffing = true;
    in.body = prepareBody(QStringLiteral(".first\r\n") + QString(998, QLatin1Char('x')) +
                          QStringLiteral(".tail")).text;
    const QByteArray data = randomBytes(45 * 3 + 14);
    in.attachments = {{writeFile(QStringLiteral("d.bin"), data), QStringLiteral("d.bin")}};
    const QByteArray sent = build(in);
    QVERIFY(sent.contains("\r\n..first\r\n") && sent.contains("\r\n..tail\r\n"));
    const QJsonObject r = check(unstuff(sent));
    verifyClean(r);
    QCOMPARE(r[QStringLiteral("uuencoded")].toArray()[0].toObject()[QStringLiteral("sha256")].toString().toLatin1(),
             sha256(data));
    QVERIFY(r[QStringLiteral("text")].toString().startsWith(QLatin1String(".first\r\n")));
  }

  void htmlWithEmbeddedImageIsRelated() {
    MimeInput in = baseInput();
    in.asHtml = true;
    in.contentBase = QStringLiteral("http://www.tvrtka.hr/");
    const QByteArray png = randomBytes(3000), pdf = randomBytes(20000);
    const QString pngPath = writeFile(QStringLiteral("logo.png"), png);
    in.attachments = {{pngPath, QStringLiteral("logo.png")},
                      {writeFile(QStringLiteral("Ponuda.pdf"), pdf), QStringLiteral("Ponuda.pdf")}};
    QString html = QStringLiteral("<html><body><p>Pozdrav, logo.png</p><img src=\"") + pngPath +
                   QStringLiteral("\"></body></html>");
    in.related = embedFiles(html, in.attachments);
    in.body = prepareBody(html).text;
    QVERIFY(in.related && in.attachments[0].embedded && !in.attachments[1].embedded);
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    QVERIFY(m.contains("Content-Type: multipart/related;\r\n\tboundary=\"----_=_NextPart_000_0000B519.0241E42D\""));
    QVERIFY(m.contains("Content-Base: \"http://www.tvrtka.hr/\"\r\n"));
    QCOMPARE(sink.statuses[0], QStringLiteral("Sending Embedded File, logo.png..."));
    QCOMPARE(sink.statuses[1], QStringLiteral("Sending Attachment, Ponuda.pdf..."));
    const QJsonObject r = check(m);
    verifyClean(r);
    const QJsonArray parts = r[QStringLiteral("tree")].toObject()[QStringLiteral("parts")].toArray();
    QCOMPARE(parts.size(), 3);
    QCOMPARE(parts[0].toObject()[QStringLiteral("type")].toString(), QStringLiteral("text/html"));
    QCOMPARE(r[QStringLiteral("content_ids")].toArray(), QJsonArray{QStringLiteral("<logo.png>")});
    QVERIFY(r[QStringLiteral("html")].toString().contains(QLatin1String("<img src=\"cid:logo.png\">")));
    QVERIFY(r[QStringLiteral("html")].toString().contains(QLatin1String("Pozdrav, logo.png")));
    const QJsonArray att = r[QStringLiteral("attachments")].toArray();
    QCOMPARE(att[0].toObject()[QStringLiteral("sha256")].toString().toLatin1(), sha256(png));
    QCOMPARE(att[1].toObject()[QStringLiteral("sha256")].toString().toLatin1(), sha256(pdf));
    QCOMPARE(att[1].toObject()[QStringLiteral("content_type")].toString(), QStringLiteral("application/pdf"));
  }

  void plainTextWithAttachmentIsMixed() {
    MimeInput in = baseInput();
    const QString path = writeFile(QStringLiteral("logo.png"), "png");
    in.body = QStringLiteral("<img src=\"") + path + QStringLiteral("\">");
    in.attachments = {{path, QStringLiteral("logo.png")}};
    const QByteArray m = build(in);
    QVERIFY(m.contains("Content-Type: multipart/mixed;"));
    QVERIFY(!m.contains("Content-ID"));
    const QJsonObject r = check(m);
    verifyClean(r);
    QVERIFY(r[QStringLiteral("text")].toString().contains(path));
  }

  void croatianFileNames() {
    MimeInput in = baseInput();
    in.asHtml = true;
    const QString imageName = QStringLiteral("slika čćž 1.png");
    const QString docName = QStringLiteral("Izvješće \"ĐŠ\" 2026.pdf");
    const QString imagePath = writeFile(imageName, "image");
    in.attachments = {{imagePath, imageName}, {writeFile(QStringLiteral("i.pdf"), "pdf"), docName}};
    QString html = QStringLiteral("<img alt=\"x\" src='file://") + imagePath + QStringLiteral("' >");
    in.related = embedFiles(html, in.attachments);
    in.body = html;
    const QJsonObject r = check(build(in));
    verifyClean(r);
    const QJsonArray att = r[QStringLiteral("attachments")].toArray();
    QCOMPARE(att[0].toObject()[QStringLiteral("filename")].toString(), imageName);
    QCOMPARE(att[1].toObject()[QStringLiteral("filename")].toString(), docName);
    const QString cid = att[0].toObject()[QStringLiteral("content_id")].toString();
    QCOMPARE(cid, QStringLiteral("<slika_20_C4_8D_C4_87_C5_BE_201.png>"));
    QVERIFY(r[QStringLiteral("html")].toString().contains(
        QStringLiteral("src='cid:") + cid.mid(1, cid.size() - 2) + QLatin1Char('\'')));
  }

  void multiMegabyteAttachmentIsStreamed() {
    MimeInput in = baseInput();
    const QByteArray big = randomBytes(5 * 1024 * 1024 + 7);
    in.attachments = {{writeFile(QStringLiteral("arhiva.zip"), big), QStringLiteral("arhiva.zip")}};
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    QCOMPARE(sink.chunks, int((big.size() + 11399) / 11400));
    QVERIFY2(sink.largestCall < 40 * 1024, qPrintable(QString::number(sink.largestCall)));
    const qint64 estimate = estimateSize(in);
    QVERIFY(qAbs(estimate - m.size()) < m.size() / 100);
    const QJsonObject r = check(m);
    verifyClean(r);
    const QJsonObject a = r[QStringLiteral("attachments")].toArray()[0].toObject();
    QCOMPARE(a[QStringLiteral("size")].toInt(), big.size());
    QCOMPARE(a[QStringLiteral("sha256")].toString().toLatin1(), sha256(big));
  }

  void uuencodeEstimateFollowsTheData() {
    MimeInput in = baseInput();
    in.encodeType = 1;
    in.attachments = {{writeFile(QStringLiteral("b.bin"), randomBytes(900000)), QStringLiteral("b.bin")}};
    const QByteArray m = build(in);
    QVERIFY(qAbs(estimateSize(in) - m.size()) < m.size() / 100);
    SizeExtras auth{true, QStringLiteral("korisnik"), QStringLiteral("lozinka1")};
    QCOMPARE(estimateSize(in, auth) - estimateSize(in), qint64(25 + 17 + 10 + 10));
  }

  void longAndBareLinesAreSafe() {
    MimeInput in = baseInput();
    in.body = prepareBody(QString(2500, QLatin1Char('y')) + QStringLiteral("\nline\rend"), false).text;
    in.asHtml = true;
    in.body += QString(1200, QLatin1Char('z'));  // as after a cid: rewrite lengthened a line
    const QJsonObject r = check(build(in));
    verifyClean(r);
    QVERIFY(r[QStringLiteral("html")].toString().contains(QStringLiteral("\r\nline\r\nend")));
  }

  void stopsWhenTheSinkRefuses() {
    MimeInput in = baseInput();
    in.attachments = {{writeFile(QStringLiteral("x.bin"), randomBytes(100000)), QStringLiteral("x.bin")}};
    RecordingSink sink;
    sink.failAtCall = 3;
    MimeBuilder builder;
    QVERIFY(!builder.write(in, sink));
    QCOMPARE(sink.calls, 4);
    QVERIFY(!sink.data.contains("--\r\n"));
  }

  void unreadableAttachmentFails() {
    MimeInput in = baseInput();
    in.attachments = {{env_.path(QStringLiteral("missing.pdf")), QStringLiteral("missing.pdf")}};
    RecordingSink sink;
    MimeBuilder builder;
    QVERIFY(!builder.write(in, sink));
    QVERIFY(!builder.errorText().isEmpty());
    QCOMPARE(sink.attachments, 0);
  }

  void writesToADeviceWithUnixLineEnds() {
    MimeInput in = baseInput();
    in.dotStuffing = true;  // ignored for a device
    in.encodeType = 1;
    in.attachments = {{writeFile(QStringLiteral("d.bin"), randomBytes(45 + 14)), QStringLiteral("d.bin")}};
    QBuffer crlf, lf;
    crlf.open(QIODevice::WriteOnly);
    lf.open(QIODevice::WriteOnly);
    QVERIFY(writeMessage(in, crlf));
    QVERIFY(writeMessage(in, lf, LineEnd::Lf));
    QVERIFY(!lf.data().contains('\r'));
    QVERIFY(!crlf.data().contains("\n.."));
    QByteArray expected = crlf.data();
    expected.replace("\r\n", "\n");
    // same message apart from the random part of the Message-ID
    QCOMPARE(lf.data().mid(lf.data().indexOf('\n')), expected.mid(expected.indexOf('\n')));
  }

  void boundaryFromDayAndTime() {
    QCOMPARE(MimeBuilder::boundary(QDateTime(QDate(2026, 12, 5), QTime(12, 0))),
             QStringLiteral("----_=_NextPart_000_0000B519.02FAF080"));
  }

  void embeddedReferences() {
    QList<MimeAttachment> a = {{QString(), QStringLiteral("logo.png")},
                               {QString(), QStringLiteral("xlogo.png")},
                               {QString(), QStringLiteral("unused.gif")}};
    QString html = QStringLiteral(
        "<img src=\"/a/xlogo.png\"><IMG SRC=\"C:\\Slike\\LOGO.PNG\" width=1>"
        "<img src=/a=b/logo.png><p>logo.png</p><img src=\"/my pics/logo.png\">"
        "<img alt=\"x\" src=../logo.png>");
    QVERIFY(embedFiles(html, a));
    QCOMPARE(html, QStringLiteral(
        "<img src=\"cid:xlogo.png\"><IMG SRC=\"cid:logo.png\" width=1>"
        "<img src=cid:logo.png><p>logo.png</p><img src=\"cid:logo.png\">"
        "<img alt=\"x\" src=cid:logo.png>"));
    QVERIFY(a[0].embedded && a[1].embedded && !a[2].embedded);
    QString text = QStringLiteral("see logo.png");
    QList<MimeAttachment> b = {{QString(), QStringLiteral("logo.png")}};
    QVERIFY(!embedFiles(text, b));
    QVERIFY(!b[0].embedded);
  }
};

QTEST_GUILESS_MAIN(TestMimeBuilder)
#include "tst_mimebuilder.moc"
