// The sidecar beyond its conversations (those are in transcripts/ and scenarios/): the bytes of
// the answer envelope, the relay of plain replies, and a client that stops reading.
#include "sidecar/relay.h"
#include "sidecar/sidecar.h"
#include "support/processenv.h"

#include <QJsonDocument>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace quorvelin::testsupport;

class SidecarTest : public QObject {
    Q_OBJECT

private slots:
    void envelope_data() {
        QTest::addColumn<QByteArray>("id"); // JSON text; empty for no id
        for (const char *id : {"7", "0", "-0", "-12345", "9007199254740993", "9223372036854775807",
                               "-9223372036854775808", "9223372036854775808", "3.0", "1e3", "1e300",
                               "0.1", "-2.5e-7", "null", "true", "false", "[1,\"x\",[]]"})
            QTest::newRow(id) << QByteArray(id);
        QTest::newRow("string with escapes") << QByteArray(R"("a\"b\\c\n\u0001\/")");
        QTest::newRow("string, Chinese") << QByteArray(R"("截图·1")");
        QTest::newRow("empty string") << QByteArray(R"("")");
        QTest::newRow("object") << QByteArray(R"({"b":1,"a":{"c":null}})");
        QTest::newRow("absent") << QByteArray();
    }

    // Answers are joined member by member around the serialised id rather than by serialising
    // the envelope; in a result (ping) and in an error (an unknown prompt, answered whatever the
    // id holds) the bytes must still be those Qt writes for the whole envelope.
    void envelope() {
        QFETCH(QByteArray, id);
        const QByteArray member = id.isEmpty() ? QByteArray() : "\"id\":" + id + ',';
        const auto expected = [&member](const char *outcome) {
            return QJsonDocument::fromJson("{" + member + R"("jsonrpc":"2.0",)" + outcome + "}")
                       .toJson(QJsonDocument::Compact) +
                   '\n';
        };
        using quorvelin::sidecar::handleLine;
        QCOMPARE(handleLine("{" + member + R"("method":"ping"})"), expected(R"("result":{})"));
        QCOMPARE(handleLine("{" + member + R"("method":"prompts/get","params":{"name":"x/y"}})"),
                 expected(R"("error":{"code":-32602,"message":"Unknown prompt: x/y"})"));
    }

    // A reply in plain JSON is relayed, as Qt would write it; anything else is left to Qt.
    void relay_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("relayed");
        QTest::newRow("plain, white space of every kind")
            << QByteArray("{\n \"b\": 1,\r\n\t\"a\": [true, null, \"x\", -20]\n}") << true;
        QTest::newRow("an error") << QByteArray(R"({"isError":true,"content":[]})") << true;
        QTest::newRow("a leading zero is no JSON") << QByteArray(R"({"a":01})") << false;
        QTest::newRow("a fraction") << QByteArray(R"({"a":1.5})") << false;
        QTest::newRow("an escape") << QByteArray(R"({"a":"\n"})") << false;
        QTest::newRow("a key twice") << QByteArray(R"({"a":1,"a":2})") << false;
    }
    void relay() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, relayed);
        quorvelin::sidecar::Pieces out;
        bool isError = false;
        QCOMPARE(quorvelin::sidecar::relayReply(reply, &out, &isError), relayed);
        const QJsonObject parsed = QJsonDocument::fromJson(reply).object();
        if (relayed)
            QCOMPARE(out.joined(), QJsonDocument(parsed).toJson(QJsonDocument::Compact));
        QCOMPARE(isError, relayed && parsed.value("isError").toBool());
    }

    // A client that stopped reading must not end the sidecar: it goes on to the end of input.
    void closedOutput() {
        IsolatedEnv env;
        int ends[2];
        QVERIFY(pipe(ends) == 0 && ::close(ends[0]) == 0);
        QProcess sidecar;
        sidecar.setProcessEnvironment(env.environment());
        sidecar.setChildProcessModifier([&ends] {
            std::signal(SIGPIPE, SIG_DFL);
            dup2(ends[1], STDOUT_FILENO);
        });
        sidecar.start(sidecarPath(), {});
        ::close(ends[1]);
        sidecar.write(R"({"id":1,"method":"ping"})"
                      "\n"
                      R"({"id":2,"method":"initialize","params":{"clientInfo":{"name":"late"}}})");
        sidecar.closeWriteChannel();
        QVERIFY(waitOrKill(sidecar, 5000));
        QCOMPARE(sidecar.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sidecar.exitCode(), 0);
        QVERIFY(sidecar.readAllStandardError().contains("client=late"));
    }
};

QTEST_GUILESS_MAIN(SidecarTest)
#include "tst_sidecar.moc"
