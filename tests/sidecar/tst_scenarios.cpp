// The one runner of the conversation files (format: scenarios/README.md): every "## name" section
// of SCENARIO_DIR/*.txt in its own isolated home, each request through the sidecar's line handler
// in this process (built with SCENARIO_IN_PROCESS) or through a run of the real sidecar process.
#include "sidecar/sidecar.h"
#include "support/peers.h"
#include "support/scopedenv.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <vector>

using namespace quorvelin::testsupport;

#ifdef SCENARIO_IN_PROCESS
constexpr bool kInProcess = true;
#else
constexpr bool kInProcess = false;
#endif

class ScenarioTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QCoreApplication::setOrganizationName(QStringLiteral("Brenlow"));
        QCoreApplication::setApplicationName(QStringLiteral("Quorvelin"));
    }

    // One row per "## name" section, up to the next one; lines before the first are prose.
    void scenario_data() {
        QTest::addColumn<QList<QByteArray>>("lines");
        const QDir dir(QStringLiteral(SCENARIO_DIR));
        for (const QString &name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray text = file.readAll().prepend('\n').replace("\n## ", "\n\f");
            for (const QByteArray &section : text.split('\f').mid(1)) {
                QList<QByteArray> lines = section.split('\n');
                const QString title = QString::fromUtf8(lines.takeFirst());
                QTest::newRow(qPrintable(name.chopped(4) + QStringLiteral(": ") + title)) << lines;
            }
        }
    }

    void scenario() {
        QFETCH(QList<QByteArray>, lines);
        IsolatedEnv env;
        // In-process, this process takes the section's environment.
        std::vector<std::unique_ptr<ScopedEnv>> vars;
        const auto setVariable = [&](const QString &name, const QString &value) {
            env.set(name, value);
            if (kInProcess)
                vars.push_back(
                    std::make_unique<ScopedEnv>(name.toUtf8().constData(), value.toUtf8()));
        };
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "TMPDIR",
                                 "QUORVELIN_DEV", "QUORVELIN_MCP_YIELD_RETRY"})
            if (kInProcess)
                setVariable(QLatin1String(name), env.environment().value(QLatin1String(name)));
        const LogCapture log("quorvelin.core");
        std::unique_ptr<BridgeSim> bridge;
        QString program = sidecarPath();
        QByteArray answers, err; // answers not read yet, and what the runs logged
        qsizetype seen = 0;      // requests of the stand-in checked
        qint64 ms = 0, minMs = 0, maxMs = 60000;
        for (const QByteArray &line : lines) {
            const QByteArray kind = line.left(line.indexOf(' ')), text = line.mid(kind.size() + 1);
            const QString name = QString::fromUtf8(text).section(u' ', 0, 0);
            const QString rest = QString::fromUtf8(text).section(u' ', 1);
            if (kind == ">") {
                QElapsedTimer clock;
                clock.start();
                // A process gets the request as its whole input, without a line feed.
                const ProcessRun run =
                    kInProcess ? ProcessRun()
                               : runProcess(program, {}, env.environment(), text, 40000);
                answers += kInProcess ? quorvelin::sidecar::handleLine(text) : run.out;
                ms = clock.elapsed();
                err += run.err;
                QVERIFY2(kInProcess ||
                             (run.exitStatus == QProcess::NormalExit && run.exitCode == 0),
                         line.constData());
            } else if (kind == "<" || kind == "<~") {
                const QByteArray answer = answers.left(answers.indexOf('\n') + 1);
                answers.remove(0, answer.size());
                if (kind == "<~")
                    QVERIFY2(answer.contains(text), answer.constData());
                else
                    QCOMPARE(answer, text + '\n');
                // The bounds of "! ms" hold for one answer.
                QVERIFY2(ms >= std::exchange(minMs, 0) && ms <= std::exchange(maxMs, 60000),
                         qPrintable(QStringLiteral("answered after %1 ms").arg(ms)));
            } else if (kind == "=") {
                QCOMPARE(bridge ? bridge->requests().value(seen++) : QByteArray(), text);
            } else if (kind == "~") {
                QVERIFY2((log.lines().join(u'\n').toUtf8() + err).contains(text), err.constData());
            } else if (kind != "!") {
            } else if (name == u"env") {
                setVariable(rest.section(u'=', 0, 0), rest.section(u'=', 1));
            } else if (name == u"exe") {
                const QString dir = env.root() + u'/' + rest.section(u' ', 0, 0);
                program = copySidecar(dir);
                if (rest.endsWith(QLatin1String(" alone")))
                    QVERIFY(QFile::remove(dir + u'/' + bridgeModuleFileName()));
            } else if (name == u"file") {
                QFile file(env.root() + u'/' + rest.section(u' ', 0, 0));
                QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
                file.write(rest.section(u' ', 1).toUtf8());
            } else if (name == u"bridge") {
                bridge = std::make_unique<BridgeSim>(env.environment(),
                                                     rest.split(u' ', Qt::SkipEmptyParts),
                                                     env.root() + QStringLiteral("/bridge.log"));
                QVERIFY(bridge->isReady());
            } else {
                QVERIFY2(name == u"ms", line.constData());
                minMs = rest.section(u' ', 0, 0).toInt();
                maxMs = rest.section(u' ', 1).toInt();
            }
        }
        QCOMPARE(answers, QByteArray());
        // The day's log file, where there is one, holds what the runs wrote to standard error.
        QFile file(env.appDataDir(false) + QStringLiteral("/logs/app-") +
                   QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                   QStringLiteral(".log"));
        QVERIFY(!file.open(QIODevice::ReadOnly) ||
                (file.readAll() == err && err.contains(QFile::encodeName(file.fileName()))));
        // Standard error holds log lines only.
        static const QRegularExpression logLine(
            QStringLiteral(R"(^\[\d\d:\d\d:\d\d\.\d\d\d\] [DIWCF] \[[a-z.]+\] )"));
        for (const QByteArray &logged : splitLines(err))
            QVERIFY2(logLine.match(QString::fromUtf8(logged)).hasMatch(), logged.constData());
    }
};

QTEST_GUILESS_MAIN(ScenarioTest)
#include "tst_scenarios.moc"
