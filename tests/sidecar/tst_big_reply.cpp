// A screenshot-sized reply through the real sidecar and its bridge module: the answer carries it
// byte for byte as Qt writes it, whichever way the sidecar takes (relayed as it came, or through
// Qt's objects), and the plain form is the one relayed. Speed is the benchmarks' business; this
// guards the bytes of the fast way and that it is taken.
#include "sidecar/relay.h"
#include "support/processenv.h"

#include <QFile>
#include <QtTest>

using namespace quorvelin::testsupport;

namespace {

constexpr qsizetype kReplyBytes = 40 * 1024 * 1024;

const QByteArray kCall = R"({"jsonrpc":"2.0","id":7,"method":"tools/call",)"
                         R"("params":{"name":"screenshot_fullscreen","arguments":{}}})";

} // namespace

class BigReplyTest : public QObject {
    Q_OBJECT

private slots:
    // Each reply is head + unit repeated to 40 MiB + tail, already in Qt's compact form (members
    // sorted, Qt's escapes), which the bridge stand-in sends as it is. `relayed`: whether the
    // sidecar passes it on as it came, rather than through Qt's objects.
    void answerCarriesTheWholeReply_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("relayed");
        // Without raw strings: moc misreads them here and would find no class.
        QTest::newRow("image of base64, the plain form")
            << QByteArray("{\"content\":[{\"data\":\"")
            << QByteArray("iVBORw0KGgoAAAANSUhEUgAAB4AAAAQ4CAYAAADo08FDAAAgAElEQVR4/+3d")
            << QByteArray("\",\"mimeType\":\"image/png\",\"type\":\"image\"}]}") << true;
        QTest::newRow("text with escapes and non-ASCII")
            << QByteArray("{\"content\":[{\"text\":\"") << QByteArray("截图 \\\"a\\\\b\\\"\\n\\t")
            << QByteArray("\",\"type\":\"text\"}]}") << false;
        QTest::newRow("plain text flagged as an error")
            << QByteArray("{\"content\":[{\"text\":\"") << QByteArray("no capture; ")
            << QByteArray("\",\"type\":\"text\"}],\"isError\":true}") << false;
    }

    void answerCarriesTheWholeReply() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, unit);
        QFETCH(QByteArray, tail);
        QFETCH(bool, relayed);
        const QByteArray reply = head + unit.repeated(kReplyBytes / unit.size()) + tail;
        quorvelin::sidecar::Pieces pieces;
        bool isError = false;
        QCOMPARE(quorvelin::sidecar::relayReply(reply, &pieces, &isError) && !isError, relayed);
        IsolatedEnv env;
        QFile script(env.root() + QStringLiteral("/script.json"));
        QVERIFY(script.open(QIODevice::WriteOnly) &&
                script.write(R"({"default":{"mode":"fixed","reply":)" + reply + "}}") > 0 &&
                script.flush());

        QProcess bridge;
        bridge.setProcessEnvironment(env.environment());
        bridge.start(binDir() + QStringLiteral("/quorvelin-bridge-sim"),
                     {QStringLiteral("--script"), script.fileName()});
        QVERIFY2(bridge.waitForReadyRead(20000) && bridge.readLine().startsWith("ready"),
                 bridge.readAllStandardError().constData());
        const ProcessRun run =
            runProcess(sidecarPath(), {}, env.environment(), kCall + '\n', 60000);
        bridge.terminate();
        waitOrKill(bridge, 5000);

        QVERIFY2(run.finished, run.err.constData());
        QCOMPARE(run.out, R"({"id":7,"jsonrpc":"2.0","result":)" + reply + "}\n");
    }
};

QTEST_GUILESS_MAIN(BigReplyTest)
#include "tst_big_reply.moc"
