// quorvelin-mcp-setup. Each row runs its invocations (" ; " between them) in a private home, in
// this process through setupcli::run (a development build beside the real sidecar) or through a
// copy of the command outside the build tree beside the real sidecar, the fake one or none. What
// they print and their exit status are compared with data/<row up to ":">.expected.
#include "mcpsetup/setuptest.h"
#include "setup/setupcli.h"
#include "support/processenv.h"
#include "support/scopedenv.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <csignal>

using namespace quorvelin::testsupport;
using namespace setuptest;

class tst_SetupCli : public QObject {
    Q_OBJECT
    QTemporaryDir root_;

private slots:
    void initTestCase() {
        QLoggingCategory::setFilterRules("quorvelin.*=false"); // the command reports for itself
        for (const QString program : {"real", "exit", "silent", "alone"}) {
            const QString dir = root_.filePath(program + " copy");
            const QString sidecar =
                program == "real" ? sidecarPath() : binDir() + "/quorvelin-fake-sidecar";
            QVERIFY(program == "alone" || !copyExecutable(sidecar, dir, "quorvelin-mcp").isEmpty());
            QVERIFY(!copyExecutable(binDir() + "/quorvelin-mcp-setup", dir).isEmpty());
        }
    }

    // program: empty for this process, "dev world" for it with QUORVELIN_DEV=1; else the copy:
    // beside the "real" sidecar, the fake that "exit"s after initialize or stays "silent", or
    // "alone".
    void runs_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("args");
        row("help: the overview, each command's", "",
            "--help ; -h clients ;  install --help ; remove -h ; snippet --help ; probe --help ; "
            "claude-targets --help");
        row("usage: status 2, nothing on stdout", "",
            " ; frobnicate --help ; probe --fast ; clients -- ; probe --budget-ms ; probe "
            "--budget-ms soon ; probe --budget-ms=0 --json ; probe --budget-ms=-5 --x ; "
            "claude-targets --budget-ms 5 ; snippet codex --config=/x ; remove cursor --config= ; "
            "install cursor zed ; install --json ; snippet vim --json");
        row("install: backups, replaced, nothing left to remove", "",
            "install cursor ; install cursor ; remove cursor ; remove cursor ; install zed --json "
            "; remove zed --json");
        row("failures: status 1, the reason on stderr", "",
            "install cline --config=/dev/null/x --json ; install cline --config /dev/null/x ; "
            "install cursor --config=/ ; remove cursor --config=/ ; remove codex --config=/");
        row("snippets: the dev world", "dev world",
            "snippet cursor ; snippet codex --json ; snippet zed ; snippet opencode");
        row("clients: every client with its state", "",
            "install codex ; install cline --config=~/.cline/mcp.json/x ; clients ; clients "
            "--json");
        row("targets: instances of this build by number", "",
            "install claude-code --config=~/.claude-dev-instance-10/.claude.json ; install "
            "claude-code --config ~/.claude-dev-instance-007/x ; install claude-code "
            "--config=~/.claude-dev-instance-2147483648/x ; install claude-code "
            "--config=~/.claude-instance-3/x ; install claude-code "
            "--config=~/.claude-dev-instance-x/x ; claude-targets ; claude-targets --json");
        row("installed: the release name, files and instances", "real",
            "snippet cursor ; install claude-code --config=~/.claude-instance-2/.claude.json ; "
            "install cursor --config=~/.claude-dev-instance-3/x ; claude-targets ; clients --json");
        row("probe: the real sidecar", "real", "probe ; probe --json");
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
        const ScopedEnv home("HOME", QFile::encodeName(env.home()));
        const ScopedEnv world("QUORVELIN_DEV", program == "dev world" ? "1" : QByteArray());
        QVERIFY(QDir().mkpath(env.appDataDir(false)) &&
                write(env.appDataDir(false) + "/mcp-tools.json", R"({"tools":[{},{},{}]})"));
        const QString copy = root_.filePath(program + " copy/quorvelin-mcp-setup");
        QString record;
        for (const QString &invocation : args.split(" ; ")) {
            ProcessRun run;
            const QStringList argv = invocation.isEmpty() ? QStringList() : invocation.split(' ');
            if (QFileInfo::exists(copy)) {
                run = runProcess(copy, argv, env.environment(), {}, 20000);
            } else {
                QString out, err;
                QTextStream outStream(&out), errStream(&err);
                run.exitCode = quorvelin::setupcli::run(argv, outStream, errStream);
                outStream.flush();
                errStream.flush();
                run.out = out.toUtf8();
                run.err = err.toUtf8();
            }
            record += "$ " + invocation + '\n' + run.out +
                      (run.err.isEmpty() ? "" : "stderr:\n" + run.err) + "exit " +
                      QString::number(run.exitCode) + '\n';
        }
        const qint64 pid = readAll(env.tmp() + "/fake.pid").toLongLong();
        const bool alive = pid > 0 && ::kill(pid, 0) == 0;
        if (alive)
            ::kill(pid, SIGKILL);
        QVERIFY2(!alive, "the sidecar outlived the self-test");
        record.replace(QRegularExpression("\\d{8}_\\d{6}(_\\d+)?"), "@STAMP@")
            .replace(QRegularExpression("(用时 |\"elapsedMs\": )\\d+"), "\\1N");
        const QString bin = QFileInfo::exists(copy) ? QFileInfo(copy).path()
                                                    : QCoreApplication::applicationDirPath();
        const QString name = QString(QTest::currentDataTag()).section(':', 0, 0);
        QCOMPARE(record.toUtf8(),
                 golden(QUORVELIN_SETUPCLI_DATA "/" + name + ".expected", record.toUtf8(),
                        {{"@HOME@", env.home()}, {"@BIN@", bin}}));
    }
};

QTEST_GUILESS_MAIN(tst_SetupCli)
#include "tst_setupcli.moc"
