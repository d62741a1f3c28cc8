// Answers are assembled member by member rather than by serialising a whole envelope object.
// These rows pin that the bytes are still exactly the serialiser's own for every kind of id.
#include "sidecar/sidecar.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

QByteArray answerTo(const QByteArray &request) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    quorvelin::sidecar::handleLine(request, out);
    return out.data();
}

// The reference: the envelope built as a JSON object and serialised whole.
QByteArray serialised(const QJsonObject &envelope) {
    return QJsonDocument(envelope).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

class AnswerBytesTest : public QObject {
    Q_OBJECT

private slots:
    void idsEchoedLikeTheSerialiser_data() {
        QTest::addColumn<QByteArray>("idText");
        QTest::newRow("small integer") << QByteArray("7");
        QTest::newRow("zero") << QByteArray("0");
        QTest::newRow("minus zero") << QByteArray("-0");
        QTest::newRow("negative integer") << QByteArray("-12345");
        QTest::newRow("beyond double precision") << QByteArray("9007199254740993");
        QTest::newRow("largest 64-bit integer") << QByteArray("9223372036854775807");
        QTest::newRow("smallest 64-bit integer") << QByteArray("-9223372036854775808");
        QTest::newRow("past 64 bits, a double") << QByteArray("9223372036854775808");
        QTest::newRow("whole number written as fraction") << QByteArray("3.0");
        QTest::newRow("exponent form") << QByteArray("1e3");
        QTest::newRow("huge exponent") << QByteArray("1e300");
        QTest::newRow("fraction") << QByteArray("0.1");
        QTest::newRow("string with escapes") << QByteArray("\"a\\\"b\\\\c\\n\\u0001\"");
        QTest::newRow("string, Chinese") << QByteArray("\"截图·1\"");
        QTest::newRow("empty string") << QByteArray("\"\"");
        QTest::newRow("null") << QByteArray("null");
        QTest::newRow("boolean") << QByteArray("true");
        QTest::newRow("array") << QByteArray("[1,\"x\",[]]");
        QTest::newRow("object") << QByteArray(R"({"b":1,"a":{"c":null}})");
    }

    // Both forms of answer: a result (ping) and an error (an unknown prompt, which is answered
    // whatever the id holds).
    void idsEchoedLikeTheSerialiser() {
        QFETCH(QByteArray, idText);
        const QJsonValue id = QJsonDocument::fromJson("[" + idText + "]").array().first();

        const QByteArray ping =
            answerTo(R"({"jsonrpc":"2.0","id":)" + idText + R"(,"method":"ping"})");
        QCOMPARE(ping, serialised({{QStringLiteral("id"), id},
                                   {QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                                   {QStringLiteral("result"), QJsonObject()}}));

        const QByteArray unknown =
            answerTo(R"({"id":)" + idText + R"(,"method":"prompts/get","params":{"name":"x/y"}})");
        const QJsonObject error{{QStringLiteral("code"), -32602},
                                {QStringLiteral("message"), QStringLiteral("Unknown prompt: x/y")}};
        QCOMPARE(unknown, serialised({{QStringLiteral("error"), error},
                                      {QStringLiteral("id"), id},
                                      {QStringLiteral("jsonrpc"), QStringLiteral("2.0")}}));
    }

    void absentIdLeavesTheMemberOut() {
        QCOMPARE(answerTo(R"({"method":"ping"})"), QByteArray(R"({"jsonrpc":"2.0","result":{}})"
                                                              "\n"));
    }
};

QTEST_GUILESS_MAIN(AnswerBytesTest)
#include "tst_answer_bytes.moc"
