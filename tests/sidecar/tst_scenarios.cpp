// Replays the scenarios in a directory against the real sidecar process, with the bridge
// stand-in where a scenario asks for one. Each "## name" section is one case in its own isolated
// home; see README.md in the scenario directory for the line kinds.
#include "support/cases.h"
#include "support/peers.h"
#include "support/processenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using namespace quorvelin::testsupport;

namespace {

const QRegularExpression
    kLogLine(QStringLiteral(R"(^\[\d\d:\d\d:\d\d\.\d\d\d\] [DIWCF?] \[[a-z.]+\] )"));

class Runner {
public:
    explicit Runner(QString *failure)
        : failure_(failure) {}

    bool run(const QStringList &lines) {
        for (const QString &line : lines) {
            if (!step(line)) {
                *failure_ =
                    QStringLiteral("at line: %1\n%2\nsidecar stderr:\n%3")
                        .arg(line, *failure_, sidecar_ ? sidecar_->diagnostics() : QString());
                return false;
            }
        }
        return finish();
    }

private:
    bool fail(const QString &why) {
        *failure_ = why;
        return false;
    }

    QString path(const QString &relative) const {
        return env_.root() + QLatin1Char('/') + relative;
    }
    QString expand(QString text) const {
        return text.replace(QStringLiteral("$ROOT"), env_.root());
    }

    bool step(const QString &line) {
        const QString kind = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = expand(line.section(QLatin1Char(' '), 1));
        if (kind == QStringLiteral(">"))
            return send(rest.toUtf8());
        if (kind == QStringLiteral("<") || kind == QStringLiteral("<~"))
            return expectAnswer(rest.toUtf8(), kind == QStringLiteral("<~"));
        if (kind == QStringLiteral("="))
            return expectBridgeRequest(rest.toUtf8());
        if (kind == QStringLiteral("~"))
            return expectLogLine(rest);
        if (kind == QStringLiteral("!"))
            return directive(rest.section(QLatin1Char(' '), 0, 0),
                             rest.section(QLatin1Char(' '), 1));
        return true; // prose
    }

    bool directive(const QString &name, const QString &argument) {
        if (name == QStringLiteral("env")) {
            env_.set(argument.section(QLatin1Char('='), 0, 0),
                     argument.section(QLatin1Char('='), 1));
        } else if (name == QStringLiteral("exe")) {
            program_ = copyExecutable(sidecarPath(), path(argument));
        } else if (name == QStringLiteral("file")) {
            const QString target = path(argument.section(QLatin1Char(' '), 0, 0));
            QDir().mkpath(QFileInfo(target).path());
            QFile file(target);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return fail(QStringLiteral("cannot write ") + target);
            file.write(argument.section(QLatin1Char(' '), 1).toUtf8());
        } else if (name == QStringLiteral("rm")) {
            QFile::remove(path(argument));
        } else if (name == QStringLiteral("exists") || name == QStringLiteral("absent")) {
            if (QFileInfo::exists(path(argument)) != (name == QStringLiteral("exists")))
                return fail(argument + QStringLiteral(" should be ") + name);
        } else if (name == QStringLiteral("bridge")) {
            return startBridge(argument.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        } else if (name == QStringLiteral("crash-bridge")) {
            bridge_->crash();
        } else if (name == QStringLiteral("within") || name == QStringLiteral("after")) {
            (name == QStringLiteral("within") ? withinMs_ : afterMs_) = argument.toInt();
        } else {
            return fail(QStringLiteral("unknown directive ") + name);
        }
        return true;
    }

    // Leading NAME=VALUE words set the stand-in's own environment.
    bool startBridge(QStringList words) {
        QProcessEnvironment environment = env_.environment();
        while (!words.isEmpty() && words.first().contains(QLatin1Char('=')) &&
               !words.first().startsWith(QLatin1Char('-'))) {
            const QString word = words.takeFirst();
            environment.insert(word.section(QLatin1Char('='), 0, 0),
                               word.section(QLatin1Char('='), 1));
        }
        bridge_ = std::make_unique<BridgeSimProcess>(path(QStringLiteral("bridge-requests.log")));
        return bridge_->start(environment, words) || fail(bridge_->error());
    }

    bool send(const QByteArray &line) {
        if (!sidecar_) {
            sidecar_ = std::make_unique<SidecarSession>();
            if (!sidecar_->start(env_.environment(), program_))
                return fail(sidecar_->error());
        }
        sidecar_->send(line);
        sent_.start();
        return true;
    }

    bool expectAnswer(const QByteArray &expected, bool subset) {
        if (!sidecar_)
            return fail(QStringLiteral("no request was sent"));
        const QByteArray answer = sidecar_->nextAnswer(40000);
        const qint64 elapsed = sent_.elapsed();
        const QString mismatch = subset ? jsonMismatch(QJsonDocument::fromJson(expected).object(),
                                                       QJsonDocument::fromJson(answer).object(), {},
                                                       QStringLiteral("answer"))
                                 : answer == expected
                                     ? QString()
                                     : QStringLiteral("answer:   ") + QString::fromUtf8(answer);
        if (!mismatch.isEmpty())
            return fail(mismatch);
        if (withinMs_ >= 0 && elapsed > withinMs_)
            return fail(
                QStringLiteral("answered after %1 ms, allowed %2").arg(elapsed).arg(withinMs_));
        if (afterMs_ >= 0 && elapsed < afterMs_)
            return fail(QStringLiteral("answered after %1 ms, expected at least %2")
                            .arg(elapsed)
                            .arg(afterMs_));
        withinMs_ = afterMs_ = -1;
        return true;
    }

    bool expectBridgeRequest(const QByteArray &expected) {
        const QList<QByteArray> received = bridge_ ? bridge_->requests() : QList<QByteArray>();
        if (bridgeSeen_ >= received.size())
            return fail(QStringLiteral("the stand-in received no further request"));
        const QByteArray actual = received.at(bridgeSeen_++);
        return actual == expected || fail(QStringLiteral("received: ") + QString::fromUtf8(actual));
    }

    bool expectLogLine(const QString &expected) {
        const QStringList lines = sidecar_->diagnostics().split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            if (kLogLine.match(line).hasMatch() && line.mid(15) == expected)
                return true;
        }
        return fail(QStringLiteral("no such log line"));
    }

    // The sidecar exits 0 at end of input, said nothing more, and logged only log lines.
    bool finish() {
        if (!sidecar_)
            return true;
        int exitCode = -1;
        if (!sidecar_->finish(&exitCode) || exitCode != 0)
            return fail(QStringLiteral("no clean exit at end of input: %1").arg(exitCode));
        const QByteArray extra = sidecar_->unreadOutput();
        if (!extra.isEmpty())
            return fail(QStringLiteral("unexpected output: ") + QString::fromUtf8(extra));
        if (bridge_ && bridgeSeen_ > 0 && bridge_->requests().size() != bridgeSeen_)
            return fail(QStringLiteral("the stand-in received more requests than expected"));
        const QStringList errLines =
            sidecar_->diagnostics().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : errLines) {
            if (!kLogLine.match(line).hasMatch())
                return fail(QStringLiteral("not a log line on stderr: ") + line);
        }
        return true;
    }

    QString *failure_;
    IsolatedEnv env_;
    QString program_;
    std::unique_ptr<BridgeSimProcess> bridge_;
    std::unique_ptr<SidecarSession> sidecar_;
    QElapsedTimer sent_;
    qsizetype bridgeSeen_ = 0;
    qint64 withinMs_ = -1;
    qint64 afterMs_ = -1;
};

} // namespace

class ScenarioTest : public QObject {
    Q_OBJECT

private slots:
    // One row per "## name" section of every file; the lines before a file's first one are prose.
    void scenario_data() {
        QTest::addColumn<QStringList>("lines");
        const QDir dir(QStringLiteral(SCENARIO_DIR));
        QString name;
        QStringList lines;
        int rows = 0;
        const auto add = [&] {
            if (!name.isEmpty() && ++rows)
                QTest::newRow(qPrintable(name)) << lines;
            name.clear();
            lines.clear();
        };
        for (const QString &file : dir.entryList({QStringLiteral("*.txt")}, QDir::Files)) {
            add();
            for (const QString &line :
                 QString::fromUtf8(readFile(dir.filePath(file))).split(u'\n')) {
                if (line.startsWith(QLatin1String("## "))) {
                    add();
                    name = file.chopped(4) + QStringLiteral(": ") + line.mid(3);
                } else if (!name.isEmpty() && !line.isEmpty()) {
                    lines.append(line);
                }
            }
        }
        add();
        QVERIFY(rows > 0);
    }

    void scenario() {
        QFETCH(QStringList, lines);
        QString failure;
        Runner runner(&failure);
        QVERIFY2(runner.run(lines), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(ScenarioTest)
#include "tst_scenarios.moc"
