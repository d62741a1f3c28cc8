#include "support/peers.h"
#include "support/processenv.h"

#include <QTest>

using namespace quorvelin::testsupport;

// The reply budget run out in full: about 30 seconds of a connected, silent GUI program.
class TestBridgeSlow : public QObject {
    Q_OBJECT

private slots:
    void silentGuiTimesOut() {
        IsolatedEnv env;
        BridgeSimProcess sim(env.root() + QStringLiteral("/bridge-requests.log"));
        QVERIFY2(
            sim.start(env.environment(), {QStringLiteral("--default"), QStringLiteral("silent")}),
            qPrintable(sim.error()));
        SidecarSession sidecar;
        QVERIFY2(sidecar.start(env.environment()), qPrintable(sidecar.error()));

        qint64 elapsed = 0;
        const QByteArray answer =
            sidecar.ask(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"x"}})",
                        40000, &elapsed);
        QCOMPARE(
            answer,
            QByteArray(
                R"json({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":"[timeout] Quorvelin 主程序无响应(工具执行超时)","type":"text"}],"isError":true}})json"));
        QVERIFY2(elapsed >= 29900 && elapsed < 33000,
                 qPrintable(QStringLiteral("answered after %1 ms").arg(elapsed)));
        // A timeout is no deferral: the call was sent once.
        QCOMPARE(sim.requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestBridgeSlow)
#include "tst_bridge_slow.moc"
