// The query datagram and the answer reader on their own, without a network.
#include "DnsPeers.h"

using namespace modMXQuery;

namespace {
// A response to the example.com query holding one record: preference 10, mx.example.com.
QByteArray oneRecordAnswer() {
  return QByteArray::fromHex(
      "11df81800001000100000000"
      "076578616d706c6503636f6d00000f0001"
      "c00c000f00010000012c0007000a026d78c00c");
}
}  // namespace

class TstMXAnswer : public QObject {
  Q_OBJECT
  TestEnv env_;

 private slots:
  void queryDatagramLimits() {
    QCOMPARE(buildMXQuery("example.com").size(), 29);
    QCOMPARE(buildMXQuery("example.com."), buildMXQuery("example.com"));
    QCOMPARE(buildMXQuery("example.com", 0x1234).left(2), QByteArray("\x12\x34"));
    const QString label63(63, QLatin1Char('a'));
    QCOMPARE(buildMXQuery(label63 + ".hr").at(12), char(63));
    VERIFY_MX_ERROR(buildMXQuery(label63 + "a.hr"), "No Valid Domain Specified");
    const QString name253 = QStringList(4, label63).join('.').left(253);  // longest name
    QCOMPARE(buildMXQuery(name253).size(), 16 + 255);
    VERIFY_MX_ERROR(buildMXQuery(name253 + "a"), "No Valid Domain Specified");
  }

  void refusesWhatIsNotAnAnswerToThisQuery() {
    VERIFY_MX_ERROR(parseMXAnswer(oneRecordAnswer().left(11), kQueryId),
                    "Not an answer to the MX query");
    VERIFY_MX_ERROR(parseMXAnswer(oneRecordAnswer(), 0x11E0), "Not an answer to the MX query");
    QByteArray query = oneRecordAnswer();
    query[2] = 0x01;  // the response flag cleared
    VERIFY_MX_ERROR(parseMXAnswer(query, kQueryId), "Not an answer to the MX query");
  }

  void recordThatOverrunsItsLengthEndsParsing() {
    QByteArray answer = oneRecordAnswer();
    QCOMPARE(describe(parseMXAnswer(answer, kQueryId)), QStringList({"mx.example.com:10"}));
    answer[answer.size() - 8] = 0x05;  // RDLENGTH 5: the exchange name runs past it
    QVERIFY(parseMXAnswer(answer, kQueryId).isEmpty());
    answer[answer.size() - 8] = 0x20;  // RDLENGTH past the end of the datagram
    QVERIFY(parseMXAnswer(answer, kQueryId).isEmpty());
  }
};

QTEST_GUILESS_MAIN(TstMXAnswer)
#include "tst_mxanswer.moc"
