// One runner for the conversation files: replays every "## name" section of SCENARIO_DIR/*.txt
// in its own isolated home, against the real sidecar process with the bridge stand-in where a
// section asks for one, or, built with SCENARIO_IN_PROCESS, through the sidecar's line handler in
// this process. Line kinds: tests/sidecar/scenarios/README.md. In-process runs rewrite their
// expected answer lines when QUORVELIN_REGENERATE_TRANSCRIPTS=1 (then review the diff).
#include "sidecar/sidecar.h"
#include "support/cases.h"
#include "support/peers.h"
#include "support/processenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <vector>

using namespace quorvelin::testsupport;

namespace {

// The sidecar's line handler with the section's environment set in this process; its answers
// wait in a queue until they are read.
class InProcessSidecar {
public:
    bool start(const QProcessEnvironment &environment, const QString &) {
        for (const QString &name : environment.keys())
            env_.push_back(std::make_unique<ScopedEnv>(
                name.toUtf8().constData(), QByteArray("") + environment.value(name).toUtf8()));
        for (const char *name : {"QUORVELIN_DEV", "QUORVELIN_MCP_YIELD_RETRY"})
            if (!environment.contains(QLatin1String(name)))
                env_.push_back(std::make_unique<ScopedEnv>(name, QByteArray()));
        return true;
    }
    void send(const QByteArray &line) {
        answers_.append(splitLines(quorvelin::sidecar::handleLine(line)));
    }
    QByteArray nextAnswer(int = 0) {
        return answers_.isEmpty() ? QByteArray() : answers_.takeFirst();
    }
    bool finish(int *exitCode) {
        *exitCode = 0;
        return true;
    }
    QByteArray unreadOutput() { return std::exchange(answers_, {}).join('\n'); }
    QString diagnostics() const { return QString(); }
    QString error() const { return QString(); }

private:
    std::vector<std::unique_ptr<ScopedEnv>> env_;
    QList<QByteArray> answers_;
};

// The text before the first blank, and the text after it.
std::pair<QByteArray, QByteArray> firstWord(const QByteArray &text) {
    const qsizetype blank = text.indexOf(' ');
    return {blank < 0 ? text : text.left(blank), blank < 0 ? QByteArray() : text.mid(blank + 1)};
}

#ifdef SCENARIO_IN_PROCESS
using Sidecar = InProcessSidecar;
const bool kRegenerate = qEnvironmentVariableIntValue("QUORVELIN_REGENERATE_TRANSCRIPTS") == 1;
#else
using Sidecar = SidecarSession;
const bool kRegenerate = false;
#endif

const QRegularExpression
    kLogLine(QStringLiteral(R"(^\[\d\d:\d\d:\d\d\.\d\d\d\] [DIWCF?] \[[a-z.]+\] )"));

class Runner {
public:
    explicit Runner(QString *failure)
        : failure_(failure) {}

    // With kRegenerate, the lines again with the answers this sidecar gave in place of the
    // expected ones.
    QList<QByteArray> rewritten;

    bool run(const QList<QByteArray> &lines) {
        for (const QByteArray &line : lines) {
            if (kRegenerate && (line.startsWith("< ") || line.startsWith("<~ ")))
                continue;
            rewritten.append(line);
            if (!step(line)) {
                *failure_ = QStringLiteral("at line: %1\n%2\nsidecar stderr:\n%3")
                                .arg(QString::fromUtf8(line), *failure_,
                                     sidecar_ ? sidecar_->diagnostics() : QString());
                return false;
            }
            if (kRegenerate && line.startsWith('>'))
                for (const QByteArray &answer : splitLines(sidecar_->unreadOutput()))
                    rewritten.append("< " + answer);
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

    bool step(const QByteArray &line) {
        const auto [kind, text] = firstWord(line);
        const QByteArray rest = QByteArray(text).replace("$ROOT", env_.root().toUtf8());
        if (kind == ">")
            return send(rest);
        if (kind == "<" || kind == "<~")
            return expectAnswer(rest, kind == "<~");
        if (kind == "=")
            return expectBridgeRequest(rest);
        if (kind == "~")
            return expectLogLine(QString::fromUtf8(rest));
        if (kind == "!") {
            const auto [name, argument] = firstWord(rest);
            return directive(QString::fromUtf8(name), QString::fromUtf8(argument));
        }
        return true; // prose
    }

    bool directive(const QString &name, const QString &argument) {
        if (name == QStringLiteral("env")) {
            env_.set(argument.section(QLatin1Char('='), 0, 0),
                     argument.section(QLatin1Char('='), 1));
        } else if (name == QStringLiteral("exe")) {
            program_ = copySidecar(path(argument));
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
            sidecar_ = std::make_unique<Sidecar>();
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
    std::unique_ptr<Sidecar> sidecar_;
    QElapsedTimer sent_;
    qsizetype bridgeSeen_ = 0;
    qint64 withinMs_ = -1;
    qint64 afterMs_ = -1;
};

} // namespace

class ScenarioTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QCoreApplication::setOrganizationName(QStringLiteral("Brenlow"));
        QCoreApplication::setApplicationName(QStringLiteral("Quorvelin"));
    }

    // One row per "## name" section, from that line to the next section; what comes before a
    // file's first section is prose.
    void scenario_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<QByteArray>>("lines");
        const QDir dir(QStringLiteral(SCENARIO_DIR));
        for (const QString &name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files)) {
            const QString file = dir.filePath(name);
            QList<QList<QByteArray>> &sections = sections_[file];
            sections.append(QList<QByteArray>());
            for (const QByteArray &line : readFile(file).split('\n')) {
                if (line.startsWith("## "))
                    sections.append(QList<QByteArray>());
                sections.last().append(line);
            }
            for (const QList<QByteArray> &section : sections.mid(1))
                QTest::newRow(qPrintable(name.chopped(4) + QStringLiteral(": ") +
                                         QString::fromUtf8(section.first().mid(3))))
                    << file << section;
        }
        QVERIFY(!sections_.isEmpty());
    }

    void scenario() {
        QFETCH(QString, file);
        QFETCH(QList<QByteArray>, lines);
        QString failure;
        Runner runner(&failure);
        QVERIFY2(runner.run(lines), qPrintable(failure));
        if (kRegenerate)
            sections_[file][sections_[file].indexOf(lines)] = runner.rewritten;
    }

    // Sections that did not run keep their lines.
    void cleanupTestCase() {
        for (auto it = sections_.cbegin(); kRegenerate && it != sections_.cend(); ++it) {
            QList<QByteArray> text;
            for (const QList<QByteArray> &section : *it)
                text += section;
            QVERIFY(writeFile(it.key(), text.join('\n')));
        }
    }

private:
    QMap<QString, QList<QList<QByteArray>>> sections_; // per file: its prose, then its sections
};

QTEST_GUILESS_MAIN(ScenarioTest)
#include "tst_scenarios.moc"
