#include <QRandomGenerator>
#include <QTest>

#include "MessageCheck.h"
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
    largestCall = qMax(largestCall, lines.size());
    data += lines;
    return true;
  }
  bool chunkWritten() override { ++chunks; return true; }
  bool attachmentWritten() override { ++attachments; return true; }
  void status(const QString& text) override { statuses << text; }
};

// Seeded, so that a run cannot draw the one pattern a check is about by chance.
QByteArray randomBytes(qsizetype n) {
  QByteArray b(n, Qt::Uninitialized);
  QRandomGenerator(quint32(n)).fillRange(reinterpret_cast<quint32*>(b.data()), n / 4);
  for (qsizetype i = n / 4 * 4; i < n; ++i) b[i] = char(i);
  return b;
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
    RecordingSink local, &sink = recorder ? *recorder : local;
    if (MimeBuilder builder; !builder.write(in, sink)) qWarning() << "write failed:" << builder.errorText();
    return sink.data;
  }

  QJsonObject check(const QByteArray& message) {
    return cleanMessage(env_.writeFile(QString("m%1.eml").arg(++files_), message));
  }

 private slots:
  void plainMessageInMimeMode() {
    const QByteArray m = build(baseInput());
    QVERIFY(m.contains("\r\nDate: Sat, 5 Dec 2026 09:05:22 +0100\r\n"));
    QVERIFY(m.contains("\tcharset=\"utf-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"));
    const QJsonObject r = check(m);
    QCOMPARE(r["headers"].toVariant().toStringList(),
             QStringList({"Message-ID", "From", "To", "Subject", "Date", "MIME-Version", "Content-Type",
                          "Content-Transfer-Encoding"}));
    QCOMPARE(r["subject"].toString(), baseInput().subject);
    QVERIFY(r["message_id"].toString().endsWith("@mail.tvrtka.hr>"));
  }

  void optionalHeadersInOrderAndNoneFromUserText() {
    MimeInput in = baseInput();
    in.ccRecipients = QStringList{"sef@tvrtka.hr"};
    in.replyTo = "odgovor@tvrtka.hr";
    in.priority = 1;
    in.priorityWord = "High";
    in.receipt = true;
    in.body = "ASCII only";
    in.subject = "Hi\r\nBcc: victim@example.com";
    in.fromDisplayName = "Eve\nX-Injected: 1";
    in.recipientDisplayNames = QStringList{"a\rb", "Ana\r\nX-Other: č"};
    const QByteArray m = build(in);
    QVERIFY(m.contains("\r\nX-Priority: 1\r\nX-MSMail-Priority: High\r\n"));
    QVERIFY(m.contains("\r\nCc: \"sef@tvrtka.hr\" <sef@tvrtka.hr>\r\n"));
    QVERIFY(m.contains("Content-Transfer-Encoding: 7bit"));
    const QJsonObject r = check(m);
    QCOMPARE(r["headers"].toVariant().toStringList(),
             QStringList({"Message-ID", "From", "To", "Cc", "Subject", "Reply-to", "Date", "MIME-Version",
                          "X-Priority", "X-MSMail-Priority", "Disposition-Notification-To", "Content-Type",
                          "Content-Transfer-Encoding"}));
    QCOMPARE(r["subject"].toString(), QString("Hi  Bcc: victim@example.com"));
  }

  void uuencodeModeHeadersAndBlocks() {
    MimeInput in = baseInput();
    in.encodeType = 1;
    in.priority = 5;
    in.priorityWord = "Low";
    in.receipt = true;
    in.attachments = {{writeFile("a.txt", "abc"), "a.txt"}, {writeFile("data.bin", randomBytes(50)), "data.bin"}};
    const QByteArray m = build(in);
    QVERIFY(m.contains("\r\n\r\nbegin 600 a.txt\r\n#86)C\r\nend\r\nbegin 600 data.bin\r\nM"));
    const QJsonObject r = check(m);
    QCOMPARE(r["headers"].toVariant().toStringList(), QStringList({"Message-ID", "From", "To", "Subject", "Date"}));
  }

  void htmlWithEmbeddedImageIsRelated_data() {
    QTest::addColumn<bool>("withPdf");
    QTest::addColumn<QString>("tree");
    const QString related = R"({"parts":[{"type":"text/html"},{"type":"image/png"}],"type":"multipart/related"})";
    QTest::newRow("image only") << false << related;
    QTest::newRow("image and PDF") << true
        << R"({"parts":[)" + related + R"(,{"type":"application/pdf"}],"type":"multipart/mixed"})";
  }
  void htmlWithEmbeddedImageIsRelated() {
    QFETCH(bool, withPdf);
    QFETCH(QString, tree);
    MimeInput in = baseInput();
    in.asHtml = true;
    in.contentBase = "http://www.tvrtka.hr/";
    const QByteArray png = randomBytes(3000), pdf = randomBytes(20000);
    const QString image = "slika čćž 1.png", doc = "Izvješće \"ĐŠ\" 2026.pdf";
    const QString cid = "slika_20_C4_8D_C4_87_C5_BE_201.png", pngPath = writeFile(image, png);
    // the PDF comes first: the image still goes with the HTML
    if (withPdf) in.attachments = {{writeFile("i.pdf", pdf), doc}};
    in.attachments.append({pngPath, image});
    QString html = "<p>Pozdrav, " + image + "</p><img alt=\"x\" src='file://" + pngPath + "' >";
    in.related = embedFiles(html, in.attachments);
    in.body = prepareBody(html).text;
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    const QByteArray top = withPdf ? "multipart/mixed" : "multipart/related";
    QVERIFY(m.contains("Content-Type: " + top + ";\r\n\tboundary=\"----_=_NextPart_000_0000B519.0241E42D\""));
    QVERIFY(m.contains("Content-Base: \"http://www.tvrtka.hr/\"\r\n"));
    QVERIFY2(qAbs(estimateSize(in) - m.size()) < 250, qPrintable(QString("%1 %2").arg(estimateSize(in)).arg(m.size())));
    QStringList statuses{"Sending Embedded File, " + image + "..."};
    if (withPdf) statuses << "Sending Attachment, " + doc + "...";
    QCOMPARE(sink.statuses, statuses);
    const QJsonObject r = check(m);
    QCOMPARE(QJsonDocument(r["tree"].toObject()).toJson(QJsonDocument::Compact), tree.toUtf8());
    QCOMPARE(r["content_ids"].toArray(), QJsonArray{"<" + cid + ">"});
    QVERIFY(r["html"].toString().startsWith("<p>Pozdrav, " + image + "</p><img alt=\"x\" src='cid:" + cid + "' >"));
    QCOMPARE(entry(r, "attachments", 0, "filename") + entry(r, "attachments", 0, "sha256"), image + sha256Of(png));
    QCOMPARE(entry(r, "attachments", 1, "filename") + entry(r, "attachments", 1, "sha256"),
             withPdf ? doc + sha256Of(pdf) : QString());
  }

  void plainTextWithAttachmentIsMixedAndLinesSafe() {
    MimeInput in = baseInput();
    const QString path = writeFile("logo.png", "png");
    in.body = prepareBody(QString(2500, 'y') + "\nline\rend <img src=\"" + path + "\">", false).text;
    in.body += QString(1200, 'z');  // as after a cid: rewrite lengthened a line
    in.attachments = {{path, "logo.png"}};
    const QByteArray m = build(in);
    QVERIFY(m.contains("Content-Type: multipart/mixed;"));
    QVERIFY(!m.contains("Content-ID"));
    const QJsonObject r = check(m);
    QVERIFY(r["text"].toString().contains("\r\nline\r\nend ") && r["text"].toString().contains(path));
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
    QCOMPARE(entry(r, parts, 0, "sha256"), sha256Of(big));
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
    MimeBuilder builder;
    RecordingSink sink;
    QVERIFY(!builder.write(in, sink));
    QVERIFY(!builder.errorText().isEmpty());
    QCOMPARE(sink.attachments, 0);
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
  }
};

QTEST_GUILESS_MAIN(TestMimeBuilder)
#include "tst_mimebuilder.moc"
