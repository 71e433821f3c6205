#include <QRandomGenerator>

#include "SendMailFixture.h"
#include "mail/BodyPreparation.h"
#include "mail/EmbeddedFiles.h"
#include "mail/MimeBuilder.h"

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

void setBody(MimeInput& in, const QString& text) {
  in.sourceBody = text;
  in.body = prepareBody(text, false).text;
}

MimeInput baseInput() {
  MimeInput in;
  in.from = "prodaja@tvrtka.hr";
  in.fromDisplayName = "Prodaja Tvrtka";
  in.recipients = QStringList{"ivan@kupac.hr", "ana@kupac.hr"};
  in.recipientDisplayNames = QStringList{"Ivan Horvat", "Ana Kovačević"};
  in.subject = "Ponuda za siječanj: čćđšž ČĆĐŠŽ";
  setBody(in, "Poštovani,\r\n.\r\nšaljemo ponudu.\r\n");
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

  // The strict parse, and no header of the message without a value.
  QJsonObject check(const QByteArray& message) {
    const QString headers = QString::fromUtf8(message.left(message.indexOf("\r\n\r\n") + 2));
    const auto empty = QRegularExpression("(?m)^[^\\s:]+:[ \t]*\r$").match(headers);
    QTest::qVerify(!empty.hasMatch(), "no empty header", qPrintable(empty.captured()), __FILE__, __LINE__);
    return cleanMessage(env_.writeFile(QString("m%1.eml").arg(++files_), message));
  }

 private slots:
  // The plain message as the composer makes it (priority -1), then with every optional header
  // and user text that tries to add headers of its own.
  void headersInOrderAndNoneFromUserText_data() {
    QTest::addColumn<int>("priority");
    QTest::addColumn<bool>("bccOnly");  // and no subject: no To, no Subject header
    QTest::addColumn<QStringList>("headers");
    const QStringList before{"Message-ID", "From", "To", "Cc", "Subject", "Reply-to", "Date", "MIME-Version"},
        after{"Disposition-Notification-To", "Content-Type", "Content-Transfer-Encoding"};
    QTest::newRow("plain") << -1 << false << QStringList{"Message-ID", "From", "To", "Subject", "Date", "MIME-Version",
                                                         "Content-Type", "Content-Transfer-Encoding"};
    QTest::newRow("high") << 1 << false << before + QStringList{"X-Priority", "X-MSMail-Priority"} + after;
    QTest::newRow("composer's 0, Bcc only") << 0 << true
                                            << QStringList{"Message-ID", "From", "Cc", "Reply-to", "Date", "MIME-Version"} + after;
    QTest::newRow("4 has no word") << 4 << false << before + after;
  }
  void headersInOrderAndNoneFromUserText() {
    QFETCH(int, priority);
    QFETCH(bool, bccOnly);
    MimeInput in = baseInput();
    if (priority >= 0) {
      in.ccRecipients = QStringList{"sef@tvrtka.hr"};
      in.replyTo = "odgovor@tvrtka.hr";
      in.priority = priority;
      in.priorityWord = "High";  // the session object keeps the last word it was given
      in.receipt = true;
      in.body = "ASCII only";
      in.subject = bccOnly ? " " : "Hi\r\nBcc: victim@example.com";
      in.fromDisplayName = "Eve\nX-Injected: 1";
      in.recipientDisplayNames = QStringList{"a\rb", "Ana\r\nX-Other: č"};
      if (bccOnly) in.bccRecipients = std::exchange(in.recipients, {});
    }
    const QByteArray m = build(in);
    QVERIFY(m.contains("\r\nDate: Sat, 5 Dec 2026 09:05:22 +0100\r\n"));
    QCOMPARE(m.contains("\r\nX-Priority: 1\r\nX-MSMail-Priority: High\r\n"), priority == 1);
    QCOMPARE(m.contains("\r\nCc: \"sef@tvrtka.hr\" <sef@tvrtka.hr>\r\n"), priority >= 0);
    QVERIFY(m.contains(priority < 0 ? "\tcharset=\"utf-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                                    : "Content-Transfer-Encoding: 7bit"));
    const QJsonObject r = check(m);
    QTEST(r["headers"].toVariant().toStringList(), "headers");
    QVERIFY(r["message_id"].toString().endsWith("@tvrtka.hr>"));  // the sender's domain
    if (!bccOnly)
      QCOMPARE(r["subject"].toString(), priority < 0 ? in.subject : QString("Hi  Bcc: victim@example.com"));
  }

  // 8-bit text in UUEncode mode declares itself; the uuencoded blocks survive either encoding.
  void uuencodeModeHeadersAndBlocks_data() {
    QTest::addColumn<bool>("croatian");
    QTest::addColumn<bool>("eightBitMime");
    QTest::addColumn<QByteArray>("encoding");  // empty: no MIME headers at all
    QTest::newRow("ASCII") << false << false << QByteArray();
    QTest::newRow("Croatian, 8BITMIME") << true << true << QByteArray("8bit");
    QTest::newRow("Croatian, no 8BITMIME") << true << false << QByteArray("quoted-printable");
  }
  void uuencodeModeHeadersAndBlocks() {
    QFETCH(bool, croatian);
    QFETCH(bool, eightBitMime);
    QFETCH(QByteArray, encoding);
    MimeInput in = baseInput();
    const QString text = croatian ? in.sourceBody : "Dear customer,\r\n.\r\nthe offer.\r\n";
    setBody(in, text);
    in.encodeType = 1;
    in.priority = 5;
    in.priorityWord = "Low";
    in.receipt = true;
    const QString name = croatian ? "čćž.bin" : "data.bin";
    const QByteArray data = randomBytes(50);  // its uuencoded lines hold "=" to escape
    in.attachments = {{writeFile("a.txt", "abc"), "a.txt"}, {writeFile("d.bin", data), name}};
    chooseTransferEncoding(in, eightBitMime);
    const QByteArray m = build(in);
    QVERIFY(m.contains("\r\n\r\nbegin 600 a.txt\r\n#86)C\r\nend\r\n"));
    QCOMPARE(m.contains("\r\nbegin 600 " + name.toUtf8() + "\r\n"), encoding != "quoted-printable");
    const QJsonObject r = check(m);
    QStringList headers{"Message-ID", "From", "To", "Subject", "Date"};
    if (!encoding.isEmpty()) headers << "MIME-Version" << "Content-Type" << "Content-Transfer-Encoding";
    QCOMPARE(r["headers"].toVariant().toStringList(), headers);
    if (!encoding.isEmpty())
      QVERIFY(m.contains("Content-Type: text/plain;\r\n\tcharset=\"utf-8\"\r\nContent-Transfer-Encoding: " + encoding));
    QVERIFY(r["text"].toString().replace("\r\n", "\n").startsWith(QString(text).replace("\r\n", "\n")));
    QCOMPARE(entry(r, "uuencoded", 1, "filename") + entry(r, "uuencoded", 1, "sha256"), name + sha256Of(data));
  }

  void htmlWithPlainAlternativeImagesAndFiles_data() {
    QTest::addColumn<bool>("withImage");
    QTest::addColumn<bool>("withPdf");
    QTest::addColumn<bool>("eightBitMime");
    QTest::addColumn<bool>("boundaryInText");  // the HTML holds the lines of the boundaries proposed
    QTest::addColumn<QString>("tree");
    const QString alternative = R"({"parts":[{"type":"text/plain"},{"type":"text/html"}],"type":"multipart/alternative"})";
    const QString related = R"({"parts":[)" + alternative + R"(,{"type":"image/png"}],"type":"multipart/related"})";
    const auto mixed = [](const QString& first) {
      return R"({"parts":[)" + first + R"(,{"type":"application/pdf"}],"type":"multipart/mixed"})";
    };
    QTest::newRow("HTML only") << false << false << true << false << alternative;
    QTest::newRow("HTML only, no 8BITMIME") << false << false << false << false << alternative;
    QTest::newRow("image") << true << false << true << false << related;
    QTest::newRow("PDF") << false << true << true << false << mixed(alternative);
    QTest::newRow("image and PDF") << true << true << true << false << mixed(related);
    QTest::newRow("image and PDF, boundary lines in the text") << true << true << true << true << mixed(related);
  }
  void htmlWithPlainAlternativeImagesAndFiles() {
    QFETCH(bool, withImage);
    QFETCH(bool, withPdf);
    QFETCH(bool, eightBitMime);
    QFETCH(bool, boundaryInText);
    QFETCH(QString, tree);
    MimeInput in = baseInput();
    in.asHtml = true;
    in.contentBase = "http://www.tvrtka.hr/";
    in.boundaryId = "0000B519.0241E42D";
    const QByteArray png = randomBytes(3000), pdf = randomBytes(20000);
    const QString image = "slika čćž 1.png", doc = "Izvješće \"ĐŠ\" 2026.pdf";
    const QString cid = "slika_20_C4_8D_C4_87_C5_BE_201.png", pngPath = writeFile(image, png);
    // the PDF comes first: the image still goes with the HTML
    if (withPdf) in.attachments = {{writeFile("i.pdf", pdf), doc}};
    if (withImage) in.attachments.append({pngPath, image});
    QString html = "<p>Pozdrav, " + image + "</p><img alt=\"x\" src='file://" + pngPath + "' >\r\n"
                   "<p>Šaljemo ponudu &amp; cjenik.<br>Lijep   pozdrav</p>";
    if (boundaryInText)
      for (int depth : {0, 1, 2}) html += "\r\n--" + MimeBuilder::boundary(in.boundaryId, depth) + (depth ? "" : "--");
    in.related = embedFiles(html, in.attachments);
    setBody(in, html);
    chooseTransferEncoding(in, eightBitMime);
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    const QByteArray top = QJsonDocument::fromJson(tree.toUtf8())["type"].toString().toLatin1();
    const QByteArray proposed = "boundary=\"" + MimeBuilder::boundary(in.boundaryId).toLatin1() + '"';
    QVERIFY(m.contains("Content-Type: " + top + ";\r\n\t" + (boundaryInText ? "boundary=\"----_=_NextPart_000_" : proposed)));
    QCOMPARE(m.contains(proposed), !boundaryInText);
    QVERIFY(m.contains("Content-Base: \"http://www.tvrtka.hr/\"\r\n"));
    QCOMPARE(m.contains("Content-Type: text/plain;\r\n\tcharset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable"),
             !eightBitMime);
    QVERIFY2(qAbs(estimateSize(in) - m.size()) < 250, qPrintable(QString("%1 %2").arg(estimateSize(in)).arg(m.size())));
    QStringList statuses;
    if (withImage) statuses << "Sending Embedded File, " + image + "...";
    if (withPdf) statuses << "Sending Attachment, " + doc + "...";
    QCOMPARE(sink.statuses, statuses);
    const QJsonObject r = check(m);
    QCOMPARE(QJsonDocument(r["tree"].toObject()).toJson(QJsonDocument::Compact), tree.toUtf8());
    QCOMPARE(r["content_ids"].toArray(), withImage ? QJsonArray{"<" + cid + ">"} : QJsonArray{});
    QVERIFY(r["html"].toString().startsWith("<p>Pozdrav, " + image + "</p><img alt=\"x\" src='" +
                                            (withImage ? "cid:" + cid : "file://" + pngPath) + "' >"));
    QVERIFY(r["html"].toString().contains("\n--" + MimeBuilder::boundary(in.boundaryId, 2)) == boundaryInText);
    QString plain = r["text"].toString().replace("\r\n", "\n").section("\n--", 0, 0).trimmed();
    QCOMPARE(plain, "Pozdrav, " + image + "\n\nŠaljemo ponudu & cjenik.\nLijep pozdrav");
    QCOMPARE(entry(r, "attachments", 0, "filename") + entry(r, "attachments", 0, "sha256"),
             withImage ? image + sha256Of(png) : withPdf ? doc + sha256Of(pdf) : QString());
    QCOMPARE(entry(r, "attachments", 1, "filename") + entry(r, "attachments", 1, "sha256"),
             withImage && withPdf ? doc + sha256Of(pdf) : QString());
  }

  // A plain text naming the attached file in an <img> embeds nothing, and its lines stay safe.
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
    const QString path = writeFile("logo.png", big);
    in.body = prepareBody(QString(2500, 'y') + "\nline\rend <img src=\"" + path + "\">", false).text;
    in.body += QString(1200, 'z');  // as after a cid: rewrite lengthened a line
    in.attachments = {{path, "logo.png"}};
    RecordingSink sink;
    const QByteArray m = build(in, &sink);
    QVERIFY(sink.chunks > 100);
    QVERIFY2(sink.largestCall < 40 * 1024, qPrintable(QString::number(sink.largestCall)));
    QVERIFY(qAbs(estimateSize(in) - m.size()) < m.size() / 100);
    QCOMPARE(m.contains("Content-Type: multipart/mixed;"), encodeType == 0);
    QVERIFY(!m.contains("Content-ID"));
    const QJsonObject r = check(m);
    QCOMPARE(entry(r, parts, 0, "sha256"), sha256Of(big));
    QVERIFY(r["text"].toString().contains("\r\nline\r\nend ") && r["text"].toString().contains(path));
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
