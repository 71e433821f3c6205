#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

#include "MessageCheck.h"
#include "mail/BodyPreparation.h"
#include "mail/EmbeddedFiles.h"
#include "mail/MimeBuilder.h"
#include "mail/UUEncode.h"
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
  in.from = "prodaja@tvrtka.hr";
  in.fromDisplayName = "Prodaja Tvrtka";
  in.recipients = QStringList{"ivan@kupac.hr", "ana@kupac.hr"};
  in.recipientDisplayNames = QStringList{"Ivan Horvat", "Ana Kovačević"};
  in.subject = "Ponuda za siječanj: čćđšž ČĆĐŠŽ";
  in.body = prepareBody("Poštovani,\r\n.\r\nšaljemo ponudu.\r\n", false).text;
  in.messageIdHost = "mail.tvrtka.hr";
  in.zoneOffset = "+0100";
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
    return env_.writeFile(QString("f%1/").arg(++files_) + name, content);
  }

  QByteArray build(const MimeInput& in, RecordingSink* recorder = nullptr) {
    RecordingSink local;
    RecordingSink& sink = recorder ? *recorder : local;
    MimeBuilder builder;
    if (!builder.write(in, sink)) qWarning() << "write failed:" << builder.errorText();
    return sink.data;
  }

  QJsonObject check(const QByteArray& message) {
    return checkMessage(env_.writeFile(QString("m%1.eml").arg(++files_), message));
  }

 private slots:
  void plainMessageInMimeMode() {
    const QByteArray m = build(baseInput());
    QCOMPARE(headerNames(m), (QList<QByteArray>{"Message-ID", "From", "To", "Subject", "Date", "MIME-Version",
                                                "Content-Type", "Content-Transfer-Encoding"}));
    QVERIFY(m.contains("\r\nDate: Sat, 5 Dec 2026 09:05:22 +0100\r\n"));
    QVERIFY(m.contains("\tcharset=\"utf-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"));
    const QJsonObject r = check(m);
    QCOMPARE(problemsOf(r), QString());
    QCOMPARE(r["subject"].toString(), baseInput().subject);
    QCOMPARE(entry(r, "to", 1, "name"), QString("Ana Kovačević"));
    QCOMPARE(entry(r, "to", 1, "address"), QString("ana@kupac.hr"));
    QCOMPARE(entry(r, "from", 0, "name"), QString("Prodaja Tvrtka"));
    QVERIFY(r["message_id"].toString().endsWith("@mail.tvrtka.hr>"));
    QCOMPARE(r["text"].toString(), QString("Poštovani,\r\n.\r\nšaljemo ponudu.\r\n\r\n"));
  }

  void optionalHeadersInOrder() {
    MimeInput in = baseInput();
    in.ccRecipients = QStringList{"sef@tvrtka.hr"};
    in.replyTo = "odgovor@tvrtka.hr";
    in.priority = 1;
    in.priorityWord = "High";
    in.receipt = true;
    in.body = "ASCII only";
    const QByteArray m = build(in);
    QCOMPARE(headerNames(m), (QList<QByteArray>{"Message-ID", "From", "To", "Cc", "Subject", "Reply-to", "Date",
                                                "MIME-Version", "X-Priority", "X-MSMail-Priority",
                                                "Disposition-Notification-To", "Content-Type",
                                                "Content-Transfer-Encoding"}));
    QVERIFY(m.contains("\r\nX-Priority: 1\r\nX-MSMail-Priority: High\r\n"));
    QVERIFY(m.contains("\r\nCc: \"sef@tvrtka.hr\" <sef@tvrtka.hr>\r\n"));
    QVERIFY(m.contains("Content-Transfer-Encoding: 7bit"));
    QCOMPARE(problemsOf(check(m)), QString());
  }

  void userTextCannotAddHeaders() {
    MimeInput in = baseInput();
    in.subject = "Hi\r\nBcc: victim@example.com";
    in.fromDisplayName = "Eve\nX-Injected: 1";
    in.recipientDisplayNames = QStringList{"a\rb", "Ana\r\nX-Other: č"};
    const QJsonObject r = check(build(in));
    QCOMPARE(problemsOf(r), QString());
    QCOMPARE(r["headers"].toVariant().toStringList(),
             QStringList({"Message-ID", "From", "To", "Subject", "Date", "MIME-Version", "Content-Type",
                          "Content-Transfer-Encoding"}));
    QCOMPARE(r["subject"].toString(), QString("Hi  Bcc: victim@example.com"));
  }

  void uuencodeModeHeadersAndBlocks() {
    MimeInput in = baseInput();
    in.encodeType = 1;
    in.priority = 5;
    in.priorityWord = "Low";
    in.receipt = true;
    const QByteArray odd = randomBytes(45 * 7 + 14);  // last line starts with "."
    in.attachments = {{writeFile("a.txt", "abc"), "a.txt"}, {writeFile("data.bin", odd), "data.bin"}};
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    QCOMPARE(headerNames(m), (QList<QByteArray>{"Message-ID", "From", "To", "Subject", "Date"}));
    QVERIFY(m.contains("\r\n\r\nbegin 600 a.txt\r\n#86)C\r\nend\r\nbegin 600 data.bin\r\nM"));
    // no transparency without SMTP
    QVERIFY(m.contains("\r\n" + uuencodeLine(odd.right(14)) + "\r\nend\r\n"));
    QCOMPARE(sink.statuses, QStringList({"Sending Attachment, a.txt...", "Sending Attachment, data.bin..."}));
    QCOMPARE(sink.attachments, 2);
    const QJsonObject r = check(m);
    QCOMPARE(problemsOf(r), QString());
    QCOMPARE(entry(r, "uuencoded", 0, "sha256"), sha256Of("abc"));
    QCOMPARE(entry(r, "uuencoded", 1, "sha256"), sha256Of(odd));
  }

  void smtpTransparencyCoversGeneratedLines() {
    MimeInput in = baseInput();
    in.encodeType = 1;
    in.dotStuffing = true;
    in.body = prepareBody(".first\r\n" + QString(998, 'x') + ".tail").text;
    const QByteArray data = randomBytes(45 * 3 + 14);
    in.attachments = {{writeFile("d.bin", data), "d.bin"}};
    const QByteArray sent = build(in);
    QVERIFY(sent.contains("\r\n..first\r\n") && sent.contains("\r\n..tail\r\n"));
    const QJsonObject r = check(unstuff(sent));
    QCOMPARE(problemsOf(r), QString());
    QCOMPARE(entry(r, "uuencoded", 0, "sha256"), sha256Of(data));
    QVERIFY(r["text"].toString().startsWith(".first\r\n"));
  }

  void htmlWithEmbeddedImageIsRelated() {
    MimeInput in = baseInput();
    in.asHtml = true;
    in.contentBase = "http://www.tvrtka.hr/";
    const QByteArray png = randomBytes(3000), pdf = randomBytes(20000);
    const QString pngPath = writeFile("logo.png", png);
    in.attachments = {{pngPath, "logo.png"}, {writeFile("Ponuda.pdf", pdf), "Ponuda.pdf"}};
    QString html = "<html><body><p>Pozdrav, logo.png</p><img src=\"" + pngPath + "\"></body></html>";
    in.related = embedFiles(html, in.attachments);
    in.body = prepareBody(html).text;
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    QVERIFY(m.contains("Content-Type: multipart/related;\r\n\tboundary=\"----_=_NextPart_000_0000B519.0241E42D\""));
    QVERIFY(m.contains("Content-Base: \"http://www.tvrtka.hr/\"\r\n"));
    QCOMPARE(sink.statuses, QStringList({"Sending Embedded File, logo.png...", "Sending Attachment, Ponuda.pdf..."}));
    const QJsonObject r = check(m);
    QCOMPARE(problemsOf(r), QString());
    QCOMPARE(r["tree"]["parts"].toArray().size(), 3);
    QCOMPARE(r["tree"]["parts"][0]["type"].toString(), QString("text/html"));
    QCOMPARE(r["content_ids"].toArray(), QJsonArray{"<logo.png>"});
    QVERIFY(r["html"].toString().contains("<img src=\"cid:logo.png\">"));
    QCOMPARE(entry(r, "attachments", 0, "sha256"), sha256Of(png));
    QCOMPARE(entry(r, "attachments", 1, "sha256"), sha256Of(pdf));
  }

  void plainTextWithAttachmentIsMixed() {
    MimeInput in = baseInput();
    const QString path = writeFile("logo.png", "png");
    in.body = "<img src=\"" + path + "\">";
    in.attachments = {{path, "logo.png"}};
    const QByteArray m = build(in);
    QVERIFY(m.contains("Content-Type: multipart/mixed;"));
    QVERIFY(!m.contains("Content-ID"));
    const QJsonObject r = check(m);
    QCOMPARE(problemsOf(r), QString());
    QVERIFY(r["text"].toString().contains(path));
  }

  void croatianFileNames() {
    MimeInput in = baseInput();
    in.asHtml = true;
    const QString imageName = "slika čćž 1.png", docName = "Izvješće \"ĐŠ\" 2026.pdf";
    const QString imagePath = writeFile(imageName, "image");
    in.attachments = {{imagePath, imageName}, {writeFile("i.pdf", "pdf"), docName}};
    QString html = "<img alt=\"x\" src='file://" + imagePath + "' >";
    in.related = embedFiles(html, in.attachments);
    in.body = html;
    const QJsonObject r = check(build(in));
    QCOMPARE(problemsOf(r), QString());
    QCOMPARE(entry(r, "attachments", 0, "filename"), imageName);
    QCOMPARE(entry(r, "attachments", 1, "filename"), docName);
    QCOMPARE(entry(r, "attachments", 0, "content_id"), QString("<slika_20_C4_8D_C4_87_C5_BE_201.png>"));
    QVERIFY(r["html"].toString().contains("src='cid:slika_20_C4_8D_C4_87_C5_BE_201.png'"));
  }

  void largeAttachmentIsStreamedAndEstimated_data() {
    QTest::addColumn<int>("encodeType");
    QTest::addColumn<QString>("parts");
    QTest::newRow("MIME") << 0 << "attachments";
    QTest::newRow("UUEncode") << 1 << "uuencoded";
  }
  void largeAttachmentIsStreamedAndEstimated() {
    QFETCH(int, encodeType);
    QFETCH(QString, parts);
    MimeInput in = baseInput();
    in.encodeType = encodeType;
    const QByteArray big = randomBytes(5 * 1024 * 1024 + 7);
    in.attachments = {{writeFile("arhiva.zip", big), "arhiva.zip"}};
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    QVERIFY(sink.chunks > 100);
    QVERIFY2(sink.largestCall < 40 * 1024, qPrintable(QString::number(sink.largestCall)));
    QVERIFY(qAbs(estimateSize(in) - m.size()) < m.size() / 100);
    const QJsonObject r = check(m);
    QCOMPARE(problemsOf(r), QString());
    QCOMPARE(entry(r, parts, 0, "sha256"), sha256Of(big));
  }

  void longAndBareLinesAreSafe() {
    MimeInput in = baseInput();
    in.body = prepareBody(QString(2500, 'y') + "\nline\rend", false).text;
    in.asHtml = true;
    in.body += QString(1200, 'z');  // as after a cid: rewrite lengthened a line
    const QJsonObject r = check(build(in));
    QCOMPARE(problemsOf(r), QString());
    QVERIFY(r["html"].toString().contains("\r\nline\r\nend"));
  }

  void stopsWhenTheSinkRefusesOrAFileIsMissing() {
    MimeInput in = baseInput();
    in.attachments = {{writeFile("x.bin", randomBytes(100000)), "x.bin"}};
    RecordingSink refusing;
    refusing.failAtCall = 3;
    QVERIFY(!MimeBuilder().write(in, refusing));
    QCOMPARE(refusing.calls, 4);
    QVERIFY(!refusing.data.contains("--\r\n"));
    in.attachments = {{env_.path("missing.pdf"), "missing.pdf"}};
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
    in.attachments = {{writeFile("d.bin", randomBytes(45 + 14)), "d.bin"}};
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
             QString("----_=_NextPart_000_0000B519.02FAF080"));
  }

  void embeddedReferences() {
    QList<MimeAttachment> a = {{QString(), "logo.png"}, {QString(), "xlogo.png"}, {QString(), "unused.gif"}};
    QString html =
        "<img src=\"/a/xlogo.png\"><IMG SRC=\"C:\\Slike\\LOGO.PNG\" width=1>"
        "<img src=/a=b/logo.png><p>logo.png</p><img src=\"/my pics/logo.png\">"
        "<img alt=\"x\" src=../logo.png>";
    QVERIFY(embedFiles(html, a));
    QCOMPARE(html, QString("<img src=\"cid:xlogo.png\"><IMG SRC=\"cid:logo.png\" width=1>"
                           "<img src=cid:logo.png><p>logo.png</p><img src=\"cid:logo.png\">"
                           "<img alt=\"x\" src=cid:logo.png>"));
    QVERIFY(a[0].embedded && a[1].embedded && !a[2].embedded);
    QString text = "see logo.png";
    QList<MimeAttachment> b = {{QString(), "logo.png"}};
    QVERIFY(!embedFiles(text, b));
    QVERIFY(!b[0].embedded);
  }
};

QTEST_GUILESS_MAIN(TestMimeBuilder)
#include "tst_mimebuilder.moc"
