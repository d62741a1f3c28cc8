#include "driver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

using namespace quorvelin::testsupport;

namespace {

const QString kStartMessage = QStringLiteral("无法启动 MCP sidecar 子进程（quorvelin-mcp）：%1");
const QString kEarlyMessage =
    QStringLiteral("MCP 子进程提前退出或响应异常 — 收到 initialize=%1 tools/list=%2");
const QString kTimeoutMessage =
    QStringLiteral("MCP 握手超时（%1ms）— 收到 initialize=%2 tools/list=%3");
const QString kYes = QStringLiteral("✓");
const QString kNo = QStringLiteral("✗");

QString early(const QString &initialize, const QString &tools) {
    return kEarlyMessage.arg(initialize, tools);
}

QString timedOut(int budget, const QString &initialize, const QString &tools) {
    return kTimeoutMessage.arg(QString::number(budget), initialize, tools);
}

void writeCatalogue(const QString &dir, int toolCount) {
    QJsonArray tools;
    for (int i = 0; i < toolCount; ++i)
        tools.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("tool_%1").arg(i)}});
    QDir().mkpath(dir);
    QFile file(dir + QStringLiteral("/mcp-tools.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("tools"), tools}}).toJson());
}

// The pid a fake wrote must name no process once the probe has returned.
void verifyGone(const QString &pidFile) {
    QFile file(pidFile);
    QVERIFY2(file.open(QIODevice::ReadOnly), "the fake sidecar wrote no pid file");
    const pid_t pid = pid_t(file.readAll().trimmed().toLong());
    QVERIFY(pid > 0);
    errno = 0;
    const bool alive = ::kill(pid, 0) == 0 || errno != ESRCH;
    if (alive)
        ::kill(pid, SIGKILL);
    QVERIFY2(!alive, qPrintable(QStringLiteral("sidecar child %1 outlived the probe").arg(pid)));
}

} // namespace

class ProbeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void realSidecar_data();
    void realSidecar();
    void fakeSidecar_data();
    void fakeSidecar();
    void startFailure_data();
    void startFailure();
    void requestsOnTheWire();

private:
    // A copy of the setup command in `name`, next to `sidecar` named quorvelin-mcp (none if empty).
    QString driverIn(const QString &name, const QString &sidecar);

    QTemporaryDir root_;
    QString realDriver_;
    QString fakeDriver_;
    QString missingDriver_;
    QString noExecDriver_;
};

QString ProbeTest::driverIn(const QString &name, const QString &sidecar) {
    const QString dir = root_.path() + QLatin1Char('/') + name;
    if (!sidecar.isEmpty() &&
        copyExecutable(sidecar, dir, QStringLiteral("quorvelin-mcp")).isEmpty())
        return QString();
    return copyExecutable(setupProgram(), dir);
}

void ProbeTest::initTestCase() {
    QVERIFY(root_.isValid());
    QVERIFY2(!root_.path().contains(QLatin1String("/build/")), "temp dir inside a build tree");
    QVERIFY2(QFile::exists(sidecarPath()), "QUORVELIN_MCP_BIN does not name the sidecar");
    const QString fake = binDir() + QStringLiteral("/quorvelin-fake-sidecar");
    QVERIFY2(QFile::exists(fake), qPrintable(fake));
    realDriver_ = driverIn(QStringLiteral("real"), sidecarPath());
    fakeDriver_ = driverIn(QStringLiteral("fake"), fake);
    missingDriver_ = driverIn(QStringLiteral("missing"), QString());
    noExecDriver_ = driverIn(QStringLiteral("noexec"), fake);
    QVERIFY(!realDriver_.isEmpty() && !fakeDriver_.isEmpty() && !missingDriver_.isEmpty() &&
            !noExecDriver_.isEmpty());
    QVERIFY(QFile::setPermissions(root_.path() + QStringLiteral("/noexec/quorvelin-mcp"),
                                  QFile::ReadOwner | QFile::WriteOwner));
}

void ProbeTest::realSidecar_data() {
    QTest::addColumn<bool>("devWorld");
    QTest::addColumn<bool>("catalogueInDevDir");
    QTest::addColumn<int>("catalogueTools");
    QTest::addColumn<int>("expectedTools");
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<QString>("serverBuild");

    const QString release = QStringLiteral("quorvelin");
    const QString dev = QStringLiteral("quorvelin-dev");
    QTest::newRow("release world counts its catalogue")
        << false << false << 3 << 3 << release << QStringLiteral("prod");
    QTest::newRow("dev world counts its own catalogue")
        << true << true << 5 << 5 << dev << QStringLiteral("dev");
    QTest::newRow("dev world ignores the release catalogue")
        << true << false << 4 << 0 << dev << QStringLiteral("dev");
    QTest::newRow("no catalogue file lists no tools")
        << false << false << -1 << 0 << release << QStringLiteral("prod");
}

void ProbeTest::realSidecar() {
    QFETCH(bool, devWorld);
    QFETCH(bool, catalogueInDevDir);
    QFETCH(int, catalogueTools);
    QFETCH(int, expectedTools);
    QFETCH(QString, serverName);
    QFETCH(QString, serverBuild);

    IsolatedEnv env;
    if (devWorld)
        env.set(QStringLiteral("QUORVELIN_DEV"), QStringLiteral("1"));
    if (catalogueTools >= 0)
        writeCatalogue(env.appDataDir(catalogueInDevDir), catalogueTools);

    const int budget = 8000;
    const DriverRun run =
        drive(realDriver_,
              {QStringLiteral("probe"), QStringLiteral("--budget-ms"), QString::number(budget)},
              env.environment());
    QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
    const QJsonObject r = run.output.object();
    QCOMPARE(r.value(QStringLiteral("error")).toString(), QString());
    QCOMPARE(r.value(QStringLiteral("ok")).toBool(), true);
    QCOMPARE(r.value(QStringLiteral("toolCount")).toInt(), expectedTools);
    QCOMPARE(r.value(QStringLiteral("protocolVersion")).toString(), QStringLiteral("2024-11-05"));
    QCOMPARE(r.value(QStringLiteral("serverName")).toString(), serverName);
    QCOMPARE(r.value(QStringLiteral("serverBuild")).toString(), serverBuild);
    QVERIFY(r.value(QStringLiteral("elapsedMs")).toInteger() < budget);
}

void ProbeTest::fakeSidecar_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("budget");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("toolCount");
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<QString>("error");

    const QString fake = QStringLiteral("fake-sidecar");
    QTest::newRow("answers split across reads")
        << QStringLiteral("split") << 8000 << true << 3 << fake << QString();
    QTest::newRow("two answers in one read, tools/list first")
        << QStringLiteral("together") << 8000 << true << 3 << fake << QString();
    QTest::newRow("CR LF line ends")
        << QStringLiteral("crlf") << 8000 << true << 3 << fake << QString();
    QTest::newRow("blank, non-JSON, foreign-id and notification lines skipped")
        << QStringLiteral("noise") << 8000 << true << 3 << fake << QString();
    QTest::newRow("error answer to tools/list counts, with no tools")
        << QStringLiteral("tools-error") << 8000 << true << 0 << fake << QString();
    QTest::newRow("exits after initialize") << QStringLiteral("exit-after-initialize") << 8000
                                            << false << 0 << fake << early(kYes, kNo);
    QTest::newRow("exits before reading anything")
        << QStringLiteral("exit") << 8000 << false << 0 << QString() << early(kNo, kNo);
    QTest::newRow("answers initialize only: time-out names the budget")
        << QStringLiteral("initialize-only") << 700 << false << 0 << fake
        << timedOut(700, kYes, kNo);
    QTest::newRow("never answers and ignores end of input: killed")
        << QStringLiteral("silent") << 500 << false << 0 << QString() << timedOut(500, kNo, kNo);
}

void ProbeTest::fakeSidecar() {
    QFETCH(QString, mode);
    QFETCH(int, budget);
    QFETCH(bool, ok);
    QFETCH(int, toolCount);
    QFETCH(QString, serverName);
    QFETCH(QString, error);

    IsolatedEnv env;
    const QString pidFile = env.root() + QStringLiteral("/fake.pid");
    env.set(QStringLiteral("QUORVELIN_FAKE_MODE"), mode);
    env.set(QStringLiteral("QUORVELIN_FAKE_PIDFILE"), pidFile);
    const DriverRun run =
        drive(fakeDriver_,
              {QStringLiteral("probe"), QStringLiteral("--budget-ms"), QString::number(budget)},
              env.environment());
    QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
    const QJsonObject r = run.output.object();
    QCOMPARE(r.value(QStringLiteral("error")).toString(), error);
    QCOMPARE(r.value(QStringLiteral("ok")).toBool(), ok);
    QCOMPARE(r.value(QStringLiteral("toolCount")).toInt(), toolCount);
    QCOMPARE(r.value(QStringLiteral("serverName")).toString(), serverName);
    QCOMPARE(r.value(QStringLiteral("serverBuild")).toString(),
             serverName.isEmpty() ? QString() : QStringLiteral("fake"));

    // Reading ends at the budget, overrun by at most the 50 ms minimum wait (plus scheduling);
    // shutting down a deaf child adds at most 3000 ms.
    const qint64 elapsed = r.value(QStringLiteral("elapsedMs")).toInteger();
    if (error.startsWith(kTimeoutMessage.section(QLatin1Char('%'), 0, 0))) {
        QVERIFY2(
            elapsed >= budget && elapsed <= budget + 50 + 250,
            qPrintable(QStringLiteral("elapsedMs %1 for a budget of %2").arg(elapsed).arg(budget)));
    } else {
        QVERIFY2(elapsed < budget, qPrintable(QString::number(elapsed)));
    }
    QVERIFY2(run.process.elapsedMs < budget + 3000 + 1500,
             qPrintable(QString::number(run.process.elapsedMs)));
    verifyGone(pidFile);
}

void ProbeTest::startFailure_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<int>("budget");

    QTest::newRow("missing sidecar, small budget") << false << 1000;
    QTest::newRow("missing sidecar, budget above the start cap") << false << 60000;
    QTest::newRow("sidecar without execute permission") << true << 60000;
}

void ProbeTest::startFailure() {
    QFETCH(bool, present);
    QFETCH(int, budget);

    IsolatedEnv env;
    const DriverRun run =
        drive(present ? noExecDriver_ : missingDriver_,
              {QStringLiteral("probe"), QStringLiteral("--budget-ms"), QString::number(budget)},
              env.environment());
    QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
    const QJsonObject r = run.output.object();
    const QString error = r.value(QStringLiteral("error")).toString();
    const QString prefix = kStartMessage.section(QStringLiteral("%1"), 0, 0);
    QVERIFY2(error.startsWith(prefix) && error.size() > prefix.size(), qPrintable(error));
    QCOMPARE(r.value(QStringLiteral("ok")).toBool(), false);
    QCOMPARE(r.value(QStringLiteral("elapsedMs")).toInteger(), 0);
    QCOMPARE(r.value(QStringLiteral("toolCount")).toInt(), 0);
    // A program that cannot start fails at once, never after the start cap.
    QVERIFY2(run.process.elapsedMs < 3000, qPrintable(QString::number(run.process.elapsedMs)));
}

void ProbeTest::requestsOnTheWire() {
    IsolatedEnv env;
    const QString record = env.root() + QStringLiteral("/requests.txt");
    env.set(QStringLiteral("QUORVELIN_FAKE_MODE"), QStringLiteral("answer"));
    env.set(QStringLiteral("QUORVELIN_FAKE_RECORD"), record);
    const DriverRun run =
        drive(fakeDriver_,
              {QStringLiteral("probe"), QStringLiteral("--budget-ms"), QStringLiteral("8000")},
              env.environment());
    QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
    QCOMPARE(run.output.object().value(QStringLiteral("ok")).toBool(), true);
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(
        file.readAll(),
        QByteArray(R"({"id":1,"jsonrpc":"2.0","method":"initialize","params":{"capabilities":{},)"
                   R"("clientInfo":{"name":"quorvelin-selftest","version":"1.0"},)"
                   R"("protocolVersion":"2024-11-05"}})"
                   "\n"
                   R"({"id":2,"jsonrpc":"2.0","method":"tools/list"})"
                   "\n"));
}

QTEST_GUILESS_MAIN(ProbeTest)
#include "tst_probe.moc"
