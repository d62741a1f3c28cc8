// quorvelin-mcp-setup. Each row runs its invocations (" ; " between them) in a private home and
// data home: in this process through setupcli::run, beside the real sidecar, or through a copy of
// the command beside a fake sidecar or none. What they print and their exit status are compared
// with data/<row up to ":">.expected, or <...>-installed.expected for the installed product.
#include "mcpsetup/identity.h"
#include "mcpsetup/setuptest.h"
#include "setup/setupcli.h"
#include "support/processenv.h"
#include "support/scopedenv.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <csignal>
#include <list>

using namespace quorvelin::testsupport;
using namespace setuptest;
using quorvelin::mcpsetup::isDevBuild;

class tst_SetupCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("quorvelin.*=false"); }

    // program: this process, "" or "this build" when what it prints differs between a development
    // build and the installed product, or "dev world" with QUORVELIN_DEV=1; else the copy beside a
    // fake sidecar that "exit"s after initialize or stays "silent", or beside none, "alone".
    void runs_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("args");
        row("usage: help on stdout, errors on stderr with status 2", "",
            "--help ; -h clients ;  install --help ;  ; frobnicate --help ; probe --fast ; clients "
            "-- ; probe --budget-ms ; probe --budget-ms=0 ; probe --budget-ms=-5 --x ; "
            "claude-targets --budget-ms 5 ; remove cursor --config= ; install cursor zed ; install "
            "; snippet vim");
        row("install: backups, replaced, nothing left; failures", "",
            "install cursor ; install cursor ; remove cursor ; remove cursor ; install zed --json "
            "; remove zed --json ; install cline --config=/dev/null/x --json ; install cursor "
            "--config / ; remove cursor --config=/ ; remove codex --config=/");
        row("clients: snippets, each client with its state", "this build",
            "snippet cursor ; install codex ; install cline --config=~/.cline/mcp.json/x ; clients "
            "; clients --json");
        row("targets: this build's instances by number", "this build",
            "install cline --config=~/.claude-dev-instance-10/.claude.json ; install zed --config "
            "~/.claude-instance-007/x ; install zed --config=~/.claude-dev-instance-007/x ; "
            "install zed --config=~/.claude-dev-instance-2147483648/x ; install cline "
            "--config=~/.claude-instance-3/.claude.json ; claude-targets ; claude-targets --json");
        row("probe: the real sidecar", "this build", "probe ; probe --json");
        row("world: snippets in the dev world", "dev world",
            "snippet cursor ; snippet codex --json ; snippet zed ; snippet opencode");
        row("exit: a sidecar that ends after initialize", "exit", "probe --budget-ms 8000 --json");
        row("silent: a silent sidecar is killed at the budget", "silent", "probe --budget-ms 500");
        row("alone: no sidecar to start or install", "alone",
            "probe --budget-ms 60000 --json ; install codex");
    }
    void runs() {
        QFETCH(QString, program);
        QFETCH(QString, args);
        IsolatedEnv env;
        env.set("QUORVELIN_FAKE", program);
        std::list<ScopedEnv> scoped;
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "TMPDIR"})
            scoped.emplace_back(name, env.environment().value(name).toUtf8());
        scoped.emplace_back("QUORVELIN_DEV", program == "dev world" ? "1" : QByteArray());
        QVERIFY(QDir().mkpath(env.appDataDir(false)) &&
                write(env.appDataDir(false) + "/mcp-tools.json", R"({"tools":[{},{},{}]})"));
        const QString copy = QUORVELIN_SETUPCLI_COPIES "/" + program + "/quorvelin-mcp-setup";
        const bool inProcess = !QFileInfo::exists(copy);
        QString record;
        for (const QString &invocation : args.split(" ; ")) {
            ProcessRun run;
            const QStringList argv = invocation.isEmpty() ? QStringList() : invocation.split(' ');
            if (inProcess) {
                QTextStream out(&run.out), err(&run.err);
                run.exitCode = quorvelin::setupcli::run(argv, out, err);
            } else {
                run = runProcess(copy, argv, env.environment(), {}, 20000);
            }
            record += "$ " + invocation + '\n' + run.out +
                      (run.err.isEmpty() ? "" : "stderr:\n" + run.err) + "exit " +
                      QString::number(run.exitCode) + '\n';
        }
        const qint64 pid = readAll(env.tmp() + "/fake.pid").toLongLong();
        QVERIFY2(pid <= 0 || ::kill(pid, 0) != 0 || (::kill(pid, SIGKILL), false),
                 "the sidecar outlived the self-test");
        record.replace(QRegularExpression("\\d{8}_\\d{6}(_\\d+)?"), "@STAMP@")
            .replace(QRegularExpression("(用时 |\"elapsedMs\": )\\d+"), "\\1N");
        const QString name = QString(QTest::currentDataTag()).section(':', 0, 0) +
                             (program == "this build" && !isDevBuild() ? "-installed" : "");
        const QString bin =
            QFileInfo(inProcess ? QCoreApplication::applicationFilePath() : copy).path();
        QCOMPARE(record.toUtf8(),
                 golden(QUORVELIN_SETUPCLI_DATA "/" + name + ".expected", record.toUtf8(),
                        {{"@HOME@", env.home()}, {"@BIN@", bin}}));
    }
};

QTEST_GUILESS_MAIN(tst_SetupCli)
#include "tst_setupcli.moc"
