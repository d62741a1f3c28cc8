#include "setup/setupcli.h"

#include "support/processenv.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace quorvelin;
using namespace quorvelin::testsupport;

namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

// The command over its I/O seam, in this process.
CliRun runInProcess(const QStringList &arguments) {
    QByteArray outBytes;
    QByteArray errBytes;
    CliRun run;
    {
        QTextStream out(&outBytes);
        QTextStream err(&errBytes);
        run.status = setupcli::run(arguments, out, err);
    }
    run.out = QString::fromUtf8(outBytes);
    run.err = QString::fromUtf8(errBytes);
    return run;
}

QString setupProgram() {
    return binDir() + QStringLiteral("/quorvelin-mcp-setup");
}

// The whole of stdout must be one JSON document.
QJsonDocument parseWhole(const ProcessRun &run) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning().noquote() << "stdout is not JSON:" << error.errorString() << run.out
                             << "\nstderr:" << run.err;
    return document;
}

} // namespace

class SetupCliTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void probeCommand_data();
    void probeCommand();
    void claudeTargetsCommand();

private:
    QTemporaryDir root_;
    QString installed_; // a copy beside the sidecar, outside the build tree
    QString alone_;     // a copy without a sidecar beside it
};

void SetupCliTest::initTestCase() {
    QVERIFY(root_.isValid());
    QVERIFY2(QFile::exists(setupProgram()), qPrintable(setupProgram()));
    const QString installedDir = root_.path() + QStringLiteral("/installed");
    QVERIFY(!copyExecutable(sidecarPath(), installedDir).isEmpty());
    installed_ = copyExecutable(setupProgram(), installedDir);
    alone_ = copyExecutable(setupProgram(), root_.path() + QStringLiteral("/alone"));
    QVERIFY(!installed_.isEmpty() && !alone_.isEmpty());
}

void SetupCliTest::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("outStart");
    QTest::addColumn<QString>("errPart");

    const QString usage = QStringLiteral("用法：quorvelin-mcp-setup");
    const QString none;
    QTest::newRow("no arguments: overview on stderr") << QStringList() << 2 << none << usage;
    QTest::newRow("--help: overview on stdout")
        << QStringList{QStringLiteral("--help")} << 0 << usage << none;
    QTest::newRow("-h after --json")
        << QStringList{QStringLiteral("--json"), QStringLiteral("-h")} << 0 << usage << none;
    QTest::newRow("help for probe")
        << QStringList{QStringLiteral("probe"), QStringLiteral("--help")} << 0
        << usage + QStringLiteral(" probe [--budget-ms N]") << none;
    QTest::newRow("help before the command")
        << QStringList{QStringLiteral("-h"), QStringLiteral("claude-targets")} << 0
        << usage + QStringLiteral(" claude-targets") << none;
    QTest::newRow("help for an unknown command")
        << QStringList{QStringLiteral("frobnicate"), QStringLiteral("--help")} << 2 << none
        << QStringLiteral("frobnicate");
    QTest::newRow("unknown command")
        << QStringList{QStringLiteral("frobnicate")} << 2 << none << QStringLiteral("frobnicate");
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("probe"), QStringLiteral("--fast")} << 2 << none
        << QStringLiteral("--fast");
    QTest::newRow("--budget-ms without value")
        << QStringList{QStringLiteral("probe"), QStringLiteral("--budget-ms")} << 2 << none
        << QStringLiteral("--budget-ms");
    QTest::newRow("--budget-ms not a number")
        << QStringList{QStringLiteral("probe"), QStringLiteral("--budget-ms"),
                       QStringLiteral("soon")}
        << 2 << none << QStringLiteral("soon");
    QTest::newRow("--budget-ms=0")
        << QStringList{QStringLiteral("probe"), QStringLiteral("--budget-ms=0")} << 2 << none
        << QStringLiteral("--budget-ms");
    QTest::newRow("--budget-ms negative")
        << QStringList{QStringLiteral("probe"), QStringLiteral("--budget-ms=-5")} << 2 << none
        << QStringLiteral("-5");
    QTest::newRow("option the command does not take")
        << QStringList{QStringLiteral("claude-targets"), QStringLiteral("--budget-ms"),
                       QStringLiteral("5")}
        << 2 << none << QStringLiteral("--budget-ms");
    QTest::newRow("extra argument") << QStringList{QStringLiteral("probe"), QStringLiteral("now")}
                                    << 2 << none << QStringLiteral("now");
}

void SetupCliTest::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, outStart);
    QFETCH(QString, errPart);

    const CliRun run = runInProcess(arguments);
    QCOMPARE(run.status, status);
    if (outStart.isEmpty())
        QCOMPARE(run.out, QString());
    else
        QVERIFY2(run.out.startsWith(outStart), qPrintable(run.out));
    if (errPart.isEmpty())
        QCOMPARE(run.err, QString());
    else
        QVERIFY2(run.err.contains(errPart), qPrintable(run.err));
}

void SetupCliTest::probeCommand_data() {
    QTest::addColumn<bool>("withSidecar");
    QTest::addColumn<bool>("json");
    QTest::addColumn<int>("status");

    QTest::newRow("installed, JSON") << true << true << 0;
    QTest::newRow("installed, text") << true << false << 0;
    QTest::newRow("no sidecar, JSON") << false << true << 1;
    QTest::newRow("no sidecar, text") << false << false << 1;
}

void SetupCliTest::probeCommand() {
    QFETCH(bool, withSidecar);
    QFETCH(bool, json);
    QFETCH(int, status);

    IsolatedEnv env;
    QDir().mkpath(env.appDataDir(false));
    QFile catalogue(env.appDataDir(false) + QStringLiteral("/mcp-tools.json"));
    QVERIFY(catalogue.open(QIODevice::WriteOnly));
    catalogue.write(R"({"tools":[{"name":"a"},{"name":"b"}]})");
    catalogue.close();

    QStringList arguments{QStringLiteral("probe"), QStringLiteral("--budget-ms"),
                          QStringLiteral("8000")};
    if (json)
        arguments << QStringLiteral("--json");
    const ProcessRun run =
        runProcess(withSidecar ? installed_ : alone_, arguments, env.environment(), {});
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, status);
    if (json) {
        const QJsonObject r = parseWhole(run).object();
        QCOMPARE(r.value(QStringLiteral("ok")).toBool(), withSidecar);
        QCOMPARE(r.value(QStringLiteral("toolCount")).toInt(), withSidecar ? 2 : 0);
        QCOMPARE(r.value(QStringLiteral("serverName")).toString(),
                 withSidecar ? QStringLiteral("quorvelin") : QString());
        QCOMPARE(r.value(QStringLiteral("error")).toString().isEmpty(), withSidecar);
        QVERIFY(r.contains(QStringLiteral("elapsedMs")) &&
                r.contains(QStringLiteral("protocolVersion")) &&
                r.contains(QStringLiteral("serverBuild")));
        QCOMPARE(run.err, QByteArray());
    } else {
        // Success is reported on stdout, a failure on stderr with the self-test's message.
        QCOMPARE(run.out.isEmpty(), !withSidecar);
        QCOMPARE(run.err.contains("quorvelin-mcp"), !withSidecar);
    }
}

void SetupCliTest::claudeTargetsCommand() {
    IsolatedEnv env;
    QVERIFY(QDir(env.home()).mkpath(QStringLiteral(".claude-instance-2")));
    const ProcessRun run =
        runProcess(installed_, {QStringLiteral("claude-targets"), QStringLiteral("--json")},
                   env.environment(), {});
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    const QJsonArray targets = parseWhole(run).array();
    QCOMPARE(targets.size(), 2);
    QCOMPARE(targets.at(0).toObject().value(QStringLiteral("configPath")).toString(),
             env.home() + QStringLiteral("/.claude.json"));
    QCOMPARE(targets.at(0).toObject().value(QStringLiteral("isDefault")).toBool(), true);
    QCOMPARE(targets.at(1).toObject().value(QStringLiteral("configPath")).toString(),
             env.home() + QStringLiteral("/.claude-instance-2/.claude.json"));
    QVERIFY(!targets.at(1).toObject().value(QStringLiteral("label")).toString().isEmpty());
}

QTEST_GUILESS_MAIN(SetupCliTest)
#include "tst_setupcli.moc"
