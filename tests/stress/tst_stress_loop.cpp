// Heavy sessions against the real sidecar: every answer exact and in order, nothing else written,
// and the peak memory of the sidecar (of every child so far, in fact) bounded.
#include "support/peers.h"

#include <QDir>
#include <QtTest>

#include <memory>

#include <sys/resource.h>

using namespace quorvelin::testsupport;

namespace {

// Generous: a 50 MB line is held a few times over while it is parsed, far below what an
// unbounded read of a flood would take.
constexpr long kPeakRssLimitKb = 1536 * 1024;
constexpr int k50MB = 50 * 1024 * 1024;

} // namespace

class StressLoopTest : public QObject {
    Q_OBJECT

private slots:
    void session_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("bridge");       // the stand-in's behaviour; none when empty
        QTest::addColumn<QByteArray>("catalogue"); // the tool catalogue file; none when empty
        const QByteArray ping = "{\"id\":2,\"method\":\"ping\"}\n";
        const QByteArray pong = "{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":{}}\n";
        const QByteArray call =
            "{\"id\":1,\"method\":\"tools/call\",\"params\":{\"name\":\"x\"}}\n";
        const QByteArray ran = "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":";
        QByteArray pings, pongs, tools;
        for (int i = 0; i < 2000; ++i) {
            const QByteArray n = QByteArray::number(i);
            // In the middle a line of 50 MB, and one with a NUL byte inside a string.
            const QByteArray params = i == 1000   ? "\"" + QByteArray(k50MB, 'b') + "\""
                                      : i == 1001 ? QByteArray("\"a\0b\"", 5)
                                                  : QByteArray("{}");
            pings += "{\"id\":" + n + ",\"method\":\"ping\",\"params\":{\"p\":" + params + "}}\n";
            pongs += "{\"id\":" + n + ",\"jsonrpc\":\"2.0\",\"result\":{}}\n";
        }
        QTest::newRow("2,000 pings, one of 50 MB") << pings << pongs << QString() << QByteArray();
        QTest::newRow("a 50 MB bridge reply")
            << call + ping
            << ran + "{\"content\":[{\"text\":\"" + QByteArray(k50MB, 'x') +
                   "\",\"type\":\"text\"}]}}\n" + pong
            << QStringLiteral("big:bytes=%1").arg(k50MB) << QByteArray();
        QTest::newRow("a bridge flood without a line feed")
            << call + ping
            << ran +
                   "{\"content\":[{\"text\":\"[timeout] Quorvelin 主程序无响应(工具执行超时)\","
                   "\"type\":\"text\"}],\"isError\":true}}\n" +
                   pong
            << QStringLiteral("flood") << QByteArray();
        for (int i = 0; i < 5000; ++i)
            tools += ",{\"description\":\"工具 " + QByteArray::number(i) + "\",\"name\":\"t" +
                     QByteArray::number(i) + "\"}";
        tools = "{\"tools\":[" + tools.mid(1) + "]}";
        QTest::newRow("a 5,000-tool catalogue") << "{\"id\":1,\"method\":\"tools/list\"}\n" + ping
                                                << ran + tools + "}\n" + pong << QString() << tools;
    }

    void session() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, output);
        QFETCH(QString, bridge);
        QFETCH(QByteArray, catalogue);
        IsolatedEnv env;
        QFile file(env.appDataDir(false) + QStringLiteral("/mcp-tools.json"));
        QVERIFY(QDir().mkpath(env.appDataDir(false)) && file.open(QIODevice::WriteOnly) &&
                file.write(catalogue) == catalogue.size());
        file.close();
        std::unique_ptr<BridgeSim> sim;
        if (!bridge.isEmpty())
            sim = std::make_unique<BridgeSim>(env.environment(),
                                              QStringList{QStringLiteral("--next"), bridge},
                                              env.root() + QStringLiteral("/requests.log"));
        QVERIFY(!sim || sim->isReady());
        const ProcessRun run = runProcess(sidecarPath(), {}, env.environment(), input, 120000);
        QVERIFY2(run.finished && run.exitStatus == QProcess::NormalExit && run.exitCode == 0,
                 run.err.right(2000).constData());
        QVERIFY2(run.out == output, run.out.left(300).constData());
        rusage usage{};
        QVERIFY(getrusage(RUSAGE_CHILDREN, &usage) == 0);
        qInfo("peak RSS of a child so far: %ld KiB", usage.ru_maxrss);
        QVERIFY(usage.ru_maxrss < kPeakRssLimitKb);
    }
};

QTEST_GUILESS_MAIN(StressLoopTest)
#include "tst_stress_loop.moc"
