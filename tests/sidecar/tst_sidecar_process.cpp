// What the scenarios cannot say about the real process: input that does not end in a line feed
// or holds a NUL byte, the log lines on standard error and in the day's log file, and the
// bridge module that must lie beside the sidecar.
#include "support/peers.h"
#include "support/processenv.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using namespace quorvelin::testsupport;

namespace {

// A request with a NUL byte between two members; the size comes from the literal itself.
const char kNulLine[] = "{\"id\":4,\0\"method\":\"ping\"}\n";

const QRegularExpression
    kLogLine(QStringLiteral(R"(^\[\d\d:\d\d:\d\d\.\d\d\d\] [DIWCF?] \[[a-z.]+\] .*$)"));

QByteArray initializeLine(const QByteArray &params) {
    return R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":)" + params + "}\n";
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString todaysLog(const IsolatedEnv &env, bool devWorld) {
    return env.appDataDir(devWorld) + QStringLiteral("/logs/app-") +
           QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

#define RUN_OK(run)                                                                                \
    do {                                                                                           \
        QVERIFY2((run).started, "sidecar did not start");                                          \
        QVERIFY2((run).finished, "sidecar did not exit at end of input: " + (run).err);            \
        QCOMPARE((run).exitStatus, QProcess::NormalExit);                                          \
        QCOMPARE((run).exitCode, 0);                                                               \
    } while (false)

} // namespace

class SidecarProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(sidecarPath()), qPrintable(sidecarPath())); }

    // Standard output carries exactly the answers, LF-terminated, in order.
    void framingOnTheWire_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("last line without LF")
            << QByteArray(R"({"id":3,"method":"nope"})")
            << QByteArray(
                   R"({"error":{"code":-32601,"message":"Method not found: nope"},"id":3,"jsonrpc":"2.0"})"
                   "\n");
        QTest::newRow("NUL byte in a line")
            << QByteArray(kNulLine, sizeof kNulLine - 1) << QByteArray();
        QTest::newRow("empty input") << QByteArray() << QByteArray();
    }

    void framingOnTheWire() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, output);
        IsolatedEnv env;
        const ProcessRun run = runProcess(sidecarPath(), {}, env.environment(), input);
        RUN_OK(run);
        QCOMPARE(run.out, output);
    }

    // Every stderr line is a log line, and the day's log file holds the same lines.
    void logLines() {
        IsolatedEnv env;
        const ProcessRun run =
            runProcess(sidecarPath(), {}, env.environment(), initializeLine("{}"));
        RUN_OK(run);
        const QList<QByteArray> lines = splitLines(run.err);
        QCOMPARE(lines.size(), 2);
        for (const QByteArray &line : lines)
            QVERIFY2(kLogLine.match(QString::fromUtf8(line)).hasMatch(), line.constData());
        const QString logPath = todaysLog(env, false);
        QVERIFY(lines.first().endsWith(" I [quorvelin.core] Logger initialized →  \"" +
                                       QFile::encodeName(logPath) + '"'));
        QCOMPARE(readFile(logPath), run.err);
    }

    // A second start the same day appends to the same file.
    void logFileAppends() {
        IsolatedEnv env;
        RUN_OK(runProcess(sidecarPath(), {}, env.environment(), QByteArray()));
        const QByteArray first = readFile(todaysLog(env, false));
        RUN_OK(runProcess(sidecarPath(), {}, env.environment(), QByteArray()));
        const QByteArray both = readFile(todaysLog(env, false));
        QVERIFY(!first.isEmpty());
        QVERIFY(both.startsWith(first));
        QCOMPARE(splitLines(both).size(), 2 * splitLines(first).size());
    }

    void unwritableDataDirectory() {
        IsolatedEnv env;
        const QString blocker = env.root() + QStringLiteral("/not-a-directory");
        QVERIFY(writeFile(blocker, "x"));
        env.set(QStringLiteral("XDG_DATA_HOME"), blocker);
        const ProcessRun run = runProcess(sidecarPath(), {}, env.environment(),
                                          R"({"id":1,"method":"ping"})"
                                          "\n");
        RUN_OK(run);
        QCOMPARE(run.out, QByteArray(R"({"id":1,"jsonrpc":"2.0","result":{}})"
                                     "\n"));
        QVERIFY2(run.err.contains("] I [quorvelin.core] Logger initialized →  \""), run.err);
        QCOMPARE(readFile(blocker), QByteArray("x"));
    }

    // The socket client is loaded from beside the sidecar at the first bridge call. Without it
    // every call finds no GUI program, and the log says why once.
    void bridgeModule_data() {
        QTest::addColumn<bool>("installed");
        QTest::newRow("beside the sidecar") << true;
        QTest::newRow("missing") << false;
    }

    void bridgeModule() {
        QFETCH(bool, installed);
        IsolatedEnv env;
        const QString dir = env.root() + QStringLiteral("/app");
        const QString sidecar = copySidecar(dir);
        QVERIFY(!sidecar.isEmpty());
        if (!installed)
            QVERIFY(QFile::remove(dir + QLatin1Char('/') + bridgeModuleFileName()));
        BridgeSimProcess bridge(env.root() + QStringLiteral("/requests.log"));
        QVERIFY2(bridge.start(env.environment(), {}), qPrintable(bridge.error()));
        const QByteArray call = R"({"id":2,"method":"tools/call","params":{"name":"t"}})"
                                "\n";
        const ProcessRun run = runProcess(sidecar, {}, env.environment(), call + call);
        RUN_OK(run);
        const QList<QByteArray> answers = splitLines(run.out);
        QCOMPARE(answers.size(), 2);
        for (const QByteArray &answer : answers)
            QVERIFY2(answer.contains("[need_gui]") != installed, answer.constData());
        QCOMPARE(bridge.requests().size(), installed ? 2 : 0);
        QCOMPARE(run.err.count("] C [quorvelin.core] GUI bridge module not loaded: "),
                 installed ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(SidecarProcessTest)
#include "tst_sidecar_process.moc"
