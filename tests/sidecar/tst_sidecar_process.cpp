// The real sidecar process: exact bytes on standard output, log lines on standard error and in
// the day's log file, the exit at end of input, the tool catalogue file, and the identity of
// each world and build kind (the binary is copied into directories of telling names).
#include "support/processenv.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

using namespace quorvelin::testsupport;

namespace {

const QRegularExpression
    kLogLine(QStringLiteral(R"(^\[\d\d:\d\d:\d\d\.\d\d\d\] [DIWCF?] \[[a-z.]+\] .*$)"));

QByteArray initializeLine(const QByteArray &params) {
    return R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":)" + params + "}\n";
}

QJsonObject resultOf(const QByteArray &line) {
    return QJsonDocument::fromJson(line).object().value(QStringLiteral("result")).toObject();
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
        QTest::newRow("ping") << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"ping"})"
                                            "\n")
                              << QByteArray(R"({"id":1,"jsonrpc":"2.0","result":{}})"
                                            "\n");
        QTest::newRow("noise between requests")
            << QByteArray("\n{\n[1,2]\n\n"
                          R"({"id":"a","method":"ping"})"
                          "\n\n"
                          R"({"id":null,"method":"ping"})"
                          "\n")
            << QByteArray(R"({"id":"a","jsonrpc":"2.0","result":{}})"
                          "\n"
                          R"({"id":null,"jsonrpc":"2.0","result":{}})"
                          "\n");
        QTest::newRow("CR LF lines") << QByteArray(R"({"id":2,"method":"ping"})"
                                                   "\r\n"
                                                   R"({"method":"ping"})"
                                                   "\r\n")
                                     << QByteArray(R"({"id":2,"jsonrpc":"2.0","result":{}})"
                                                   "\n"
                                                   R"({"jsonrpc":"2.0","result":{}})"
                                                   "\n");
        QTest::newRow("last line without LF")
            << QByteArray(R"({"id":3,"method":"nope"})")
            << QByteArray(
                   R"({"error":{"code":-32601,"message":"Method not found: nope"},"id":3,"jsonrpc":"2.0"})"
                   "\n");
        QTest::newRow("NUL byte in a line")
            << QByteArray("{\"id\":4,\0\"method\":\"ping\"}\n", 29) << QByteArray();
        QTest::newRow("notifications only")
            << QByteArray(R"({"method":"notifications/initialized"})"
                          "\n"
                          R"({"method":"notifications/cancelled"})"
                          "\n")
            << QByteArray();
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

    void clientIdentityLine_data() {
        QTest::addColumn<QByteArray>("params");
        QTest::addColumn<QString>("logged");
        QTest::newRow("full")
            << QByteArray(
                   R"({"protocolVersion":"2025-03-26","capabilities":{"sampling":{},"roots":{"listChanged":true}},"clientInfo":{"name":"claude-ai","version":"0.1.0"}})")
            << QStringLiteral("MCP sidecar · client=claude-ai v0.1.0 · protocol=2025-03-26 · "
                              "capabilities=[roots, sampling]");
        QTest::newRow("empty params")
            << QByteArray("{}")
            << QStringLiteral(
                   "MCP sidecar · client=(unknown) v? · protocol=(none) · capabilities=[]");
        QTest::newRow("empty name is a name")
            << QByteArray(R"({"clientInfo":{"name":"","version":7}})")
            << QStringLiteral("MCP sidecar · client= v? · protocol=(none) · capabilities=[]");
        QTest::newRow("placeholders stay")
            << QByteArray(R"({"clientInfo":{"name":"x%2y","version":"%1"},"protocolVersion":5})")
            << QStringLiteral("MCP sidecar · client=x%2y v%1 · protocol=(none) · capabilities=[]");
        QTest::newRow("wrong types")
            << QByteArray(R"({"clientInfo":"me","capabilities":[1]})")
            << QStringLiteral(
                   "MCP sidecar · client=(unknown) v? · protocol=(none) · capabilities=[]");
    }

    void clientIdentityLine() {
        QFETCH(QByteArray, params);
        QFETCH(QString, logged);
        IsolatedEnv env;
        const ProcessRun run =
            runProcess(sidecarPath(), {}, env.environment(), initializeLine(params));
        RUN_OK(run);
        const QList<QByteArray> lines = splitLines(run.err);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(QString::fromUtf8(lines.at(1).mid(15)),
                 QStringLiteral("I [quorvelin.core] ") + logged);
        QCOMPARE(splitLines(run.out).size(), 1);
    }

    // Who the sidecar says it is depends on QUORVELIN_DEV and on where the binary lies.
    void worldsAndBuildKinds_data() {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QByteArray>("dev");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("build");
        const QString installed = QStringLiteral("Applications/Quorvelin.app/Contents/MacOS");
        const QString dev = QStringLiteral("quorvelin-dev");
        const QString release = QStringLiteral("quorvelin");
        const QString prod = QStringLiteral("prod");
        QTest::newRow("installed") << installed << QByteArray() << release << prod;
        QTest::newRow("installed, variable empty")
            << installed << QByteArray("") << release << prod;
        QTest::newRow("installed, dev world")
            << installed << QByteArray("1") << dev << QStringLiteral("dev");
        QTest::newRow("installed, dev world 0")
            << installed << QByteArray("0") << dev << QStringLiteral("dev");
        QTest::newRow("cmake-build-debug")
            << QStringLiteral("src/cmake-build-debug/bin") << QByteArray() << dev << prod;
        QTest::newRow("BUILD in capitals")
            << QStringLiteral("BUILD") << QByteArray() << dev << prod;
        QTest::newRow("build-release")
            << QStringLiteral("build-release") << QByteArray() << dev << prod;
        QTest::newRow("out at depth") << QStringLiteral("a/out/b") << QByteArray() << dev << prod;
        QTest::newRow("rebuild") << QStringLiteral("rebuild") << QByteArray() << release << prod;
        QTest::newRow("build-release-x86")
            << QStringLiteral("build-release-x86") << QByteArray() << release << prod;
        QTest::newRow("output") << QStringLiteral("output") << QByteArray() << release << prod;
        QTest::newRow("dev world in a build dir")
            << QStringLiteral("build") << QByteArray("yes") << dev << QStringLiteral("dev");
    }

    void worldsAndBuildKinds() {
        QFETCH(QString, directory);
        QFETCH(QByteArray, dev);
        QFETCH(QString, name);
        QFETCH(QString, build);
        IsolatedEnv env;
        const QString copy =
            copyExecutable(sidecarPath(), env.root() + QStringLiteral("/") + directory);
        QVERIFY(!copy.isEmpty());
        if (!dev.isNull())
            env.set(QStringLiteral("QUORVELIN_DEV"), QString::fromUtf8(dev));
        const ProcessRun run = runProcess(copy, {}, env.environment(), initializeLine("{}"));
        RUN_OK(run);
        const QJsonObject result = resultOf(run.out);
        const QJsonObject serverInfo = result.value(QStringLiteral("serverInfo")).toObject();
        QCOMPARE(serverInfo.value(QStringLiteral("name")).toString(), name);
        QCOMPARE(serverInfo.value(QStringLiteral("build")).toString(), build);
        const bool devWorld = build == QStringLiteral("dev");
        const QString instructions = result.value(QStringLiteral("instructions")).toString();
        QCOMPARE(instructions.startsWith(QStringLiteral("**注意:")), devWorld);
        QVERIFY(QFile::exists(todaysLog(env, devWorld)));
        QVERIFY(!QFile::exists(todaysLog(env, !devWorld)));
    }

    void toolCatalogue_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("tools");
        const QByteArray none = "[]";
        QTest::newRow("missing") << QByteArray() << none;
        QTest::newRow("empty file") << QByteArray("") << none;
        QTest::newRow("malformed") << QByteArray(R"({"tools":[)") << none;
        QTest::newRow("array root") << QByteArray(R"([{"tools":[]}])") << none;
        QTest::newRow("tools is an object") << QByteArray(R"({"tools":{"name":"x"}})") << none;
        QTest::newRow("tools is a string") << QByteArray(R"({"tools":"x"})") << none;
        QTest::newRow("passed on unchanged")
            << QByteArray(
                   R"({"version":3,"tools":[{"name":"b","inputSchema":{"type":"object"}},{"zz":1,"name":"a"},7]})")
            << QByteArray(
                   R"([{"inputSchema":{"type":"object"},"name":"b"},{"name":"a","zz":1},7])");
    }

    void toolCatalogue() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, tools);
        IsolatedEnv env;
        if (!file.isNull())
            QVERIFY(writeFile(env.appDataDir(false) + QStringLiteral("/mcp-tools.json"), file));
        const ProcessRun run = runProcess(sidecarPath(), {}, env.environment(),
                                          R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})"
                                          "\n");
        RUN_OK(run);
        QCOMPARE(run.out, R"({"id":1,"jsonrpc":"2.0","result":{"tools":)" + tools + "}}\n");
    }

    // The catalogue is read afresh on every request.
    void toolCatalogueChanges() {
        IsolatedEnv env;
        const QString catalogue = env.appDataDir(false) + QStringLiteral("/mcp-tools.json");
        QVERIFY(writeFile(catalogue, R"({"tools":[{"name":"first"}]})"));
        QProcess sidecar;
        sidecar.setProcessEnvironment(env.environment());
        sidecar.start(sidecarPath(), QStringList());
        QVERIFY(sidecar.waitForStarted(5000));
        const auto ask = [&sidecar]() {
            sidecar.write(R"({"id":1,"method":"tools/list"})"
                          "\n");
            while (!sidecar.canReadLine() && sidecar.waitForReadyRead(5000)) {
            }
            return sidecar.readLine();
        };
        QCOMPARE(ask(),
                 QByteArray(R"({"id":1,"jsonrpc":"2.0","result":{"tools":[{"name":"first"}]}})"
                            "\n"));
        QVERIFY(writeFile(catalogue, R"({"tools":[{"name":"second"},{"name":"third"}]})"));
        QCOMPARE(
            ask(),
            QByteArray(
                R"({"id":1,"jsonrpc":"2.0","result":{"tools":[{"name":"second"},{"name":"third"}]}})"
                "\n"));
        QVERIFY(QFile::remove(catalogue));
        QCOMPARE(ask(), QByteArray(R"({"id":1,"jsonrpc":"2.0","result":{"tools":[]}})"
                                   "\n"));
        sidecar.closeWriteChannel();
        QVERIFY(sidecar.waitForFinished(5000));
        QCOMPARE(sidecar.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(SidecarProcessTest)
#include "tst_sidecar_process.moc"
