// Hostile GUI programs on the far end of the bridge: a reply line of 50 MB comes through whole,
// and a peer that streams bytes without ever ending its line gets the "[timeout]" result without
// the sidecar holding all it sent. The session goes on in both cases.
#include "support/peers.h"
#include "support/processenv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace quorvelin::testsupport;

namespace {

// Generous bounds for the sidecar's peak resident set, far below what an unbounded read of the
// flood or a few copies too many of the big reply would need.
constexpr qint64 kPeakRssLimitKb = 1536 * 1024;
constexpr int kBigReplyBytes = 50 * 1024 * 1024;

const QByteArray kCall = R"({"jsonrpc":"2.0","id":1,"method":"tools/call",)"
                         R"("params":{"name":"screenshot_fullscreen","arguments":{}}})"
                         "\n";
const QByteArray kPing = R"({"jsonrpc":"2.0","id":2,"method":"ping"})"
                         "\n";

QJsonObject answerObject(const QByteArray &line) {
    return QJsonDocument::fromJson(line).object();
}

QString firstText(const QJsonObject &answer) {
    return answer.value(QStringLiteral("result"))
        .toObject()
        .value(QStringLiteral("content"))
        .toArray()
        .at(0)
        .toObject()
        .value(QStringLiteral("text"))
        .toString();
}

} // namespace

class StressBridgeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(sidecarPath()), qPrintable(sidecarPath())); }

    void hostilePeer_data() {
        QTest::addColumn<QString>("behaviour");
        QTest::addColumn<QString>("text");
        QTest::newRow("a 50 MB reply line")
            << QStringLiteral("big:bytes=%1").arg(kBigReplyBytes) << QString(kBigReplyBytes, u'x');
        QTest::newRow("a flood without a line feed")
            << QStringLiteral("flood")
            << QStringLiteral("[timeout] Quorvelin 主程序无响应(工具执行超时)");
    }

    void hostilePeer() {
        QFETCH(QString, behaviour);
        QFETCH(QString, text);
        IsolatedEnv env;
        BridgeSimProcess sim(env.root() + QStringLiteral("/bridge.log"));
        QVERIFY2(sim.start(env.environment(), {QStringLiteral("--next"), behaviour}),
                 qPrintable(sim.error()));
        const StreamRun run =
            streamProcess(sidecarPath(), {}, env.environment(), kCall + kPing, 2, 120000);
        QVERIFY2(run.stalled.isEmpty(), qPrintable(run.stalled + "\n" + run.err.right(3000)));
        QVERIFY2(run.finished && run.exitCode == 0, run.err.right(3000).constData());
        QCOMPARE(run.lines.size(), 2);
        const QJsonObject answer = answerObject(run.lines.at(0));
        QCOMPARE(answer.value(QStringLiteral("id")).toInt(), 1);
        const QString got = firstText(answer);
        QVERIFY2(
            got == text,
            qPrintable(QStringLiteral("%1 characters: %2").arg(got.size()).arg(got.left(200))));
        QCOMPARE(run.lines.at(1), QByteArray(R"({"id":2,"jsonrpc":"2.0","result":{}})"));
        qInfo("peak RSS of the sidecar: %lld KiB", run.peakRssKb);
        QVERIFY2(run.peakRssKb > 0 && run.peakRssKb < kPeakRssLimitKb,
                 qPrintable(QStringLiteral("peak RSS %1 KiB").arg(run.peakRssKb)));
    }
};

QTEST_GUILESS_MAIN(StressBridgeTest)
#include "tst_stress_bridge.moc"
