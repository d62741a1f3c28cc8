// Runs the case files in data/: each case starts quorvelin-mcp-setup (a copy beside the real
// sidecar, a fake one or none, or the build's own) in a private home, step by step, and checks
// exit status, stdout (as JSON or text), stderr, the files it leaves and the fake's requests.
// The library's self-test and discovery are tested here too, through the command, so they see
// the identity of that copy exactly as they would inside the GUI program.
#include "support/processenv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

using namespace quorvelin::testsupport;

namespace {

const QString kData = QStringLiteral(QUORVELIN_SETUPCLI_DATA);

using Tokens = QList<QPair<QString, QString>>;

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

QString fill(QString text, const Tokens &tokens, bool inPattern = false) {
    for (const auto &[token, value] : tokens)
        text.replace(token, inPattern ? QRegularExpression::escape(value) : value);
    return text;
}

QString shown(const QJsonValue &value) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))
        .chopped(1)
        .mid(1);
}

// Why `actual` fails `expected`, empty when it does not. "re:" starts a regular expression.
QString mismatch(const QString &expected, const QString &actual, const Tokens &tokens) {
    const bool fits =
        expected.startsWith(QLatin1String("re:"))
            ? QRegularExpression(fill(expected.mid(3), tokens, true)).match(actual).hasMatch()
            : fill(expected, tokens) == actual;
    return fits ? QString() : QStringLiteral("expected %1\ngot %2").arg(expected, actual);
}

// Objects match the members named, arrays element by element, {"min", "max"} bounds a number.
QString mismatch(const QJsonValue &expected, const QJsonValue &actual, const Tokens &tokens,
                 const QString &where) {
    const QJsonObject e = expected.toObject();
    if (expected.isObject() && actual.isDouble()) {
        const double n = actual.toDouble();
        return n < e.value(QStringLiteral("min")).toDouble(n) ||
                       n > e.value(QStringLiteral("max")).toDouble(n)
                   ? QStringLiteral("%1: %2 out of %3").arg(where, shown(actual), shown(expected))
                   : QString();
    }
    if (expected.isObject() && actual.isObject()) {
        for (auto it = e.begin(); it != e.end(); ++it) {
            const QString m = mismatch(it.value(), actual.toObject().value(it.key()), tokens,
                                       where + QLatin1Char('.') + it.key());
            if (!m.isEmpty())
                return m;
        }
        return QString();
    }
    const QJsonArray a = actual.toArray();
    if (expected.isArray() && actual.isArray() && a.size() == expected.toArray().size()) {
        for (qsizetype i = 0; i < a.size(); ++i) {
            const QString m = mismatch(expected.toArray().at(i), a.at(i), tokens,
                                       QStringLiteral("%1[%2]").arg(where).arg(i));
            if (!m.isEmpty())
                return m;
        }
        return QString();
    }
    if (expected.isString() && actual.isString()) {
        const QString m = mismatch(expected.toString(), actual.toString(), tokens);
        return m.isEmpty() ? m : where + QStringLiteral(": ") + m;
    }
    return expected == actual ? QString()
                              : QStringLiteral("%1: expected %2\ngot %3")
                                    .arg(where, shown(expected), shown(actual));
}

// Every file of data/homes/`name`, tokens filled, against the same path below `home`: written
// there when seeding, compared otherwise. Returns the first difference.
QString syncHome(const QString &name, const QString &home, const Tokens &tokens, bool seed) {
    const QString dir = kData + QStringLiteral("/homes/") + name;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QString failure = QStringLiteral("no files in ") + dir;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = home + source.mid(dir.size());
        const QByteArray bytes = fill(QString::fromUtf8(readAll(source)), tokens).toUtf8();
        if (seed ? !writeAll(target, bytes) : readAll(target) != bytes)
            return QStringLiteral("%1 is not %2:\n%3").arg(target, source, readAll(target));
        failure.clear();
    }
    return failure;
}

// `expected` is text (exact, or "re:" a pattern) or JSON that the whole of `actual` must be.
QString outputMismatch(const QJsonValue &expected, const QByteArray &actual, const Tokens &tokens,
                       const QString &where) {
    if (expected.isString()) {
        const QString m = mismatch(expected.toString(), QString::fromUtf8(actual), tokens);
        return m.isEmpty() ? m : where + QStringLiteral(": ") + m;
    }
    if (expected.isUndefined())
        return QString();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(actual, &error);
    if (error.error != QJsonParseError::NoError)
        return where + QStringLiteral(" is not one JSON document: ") + error.errorString();
    return mismatch(
        expected, document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()),
        tokens, where);
}

// The first way one run fails its step: status, time, outputs, the fake's requests, the home.
QString stepMismatch(const QJsonObject &step, const ProcessRun &run, const Tokens &tokens,
                     const QString &script, const QString &home) {
    if (run.exitCode != step.value(QStringLiteral("status")).toInt())
        return QStringLiteral("exit status %1").arg(run.exitCode);
    if (run.elapsedMs > step.value(QStringLiteral("maxWallMs")).toInt(20000))
        return QStringLiteral("took %1 ms").arg(run.elapsedMs);
    const QPair<QString, QByteArray> outputs[] = {
        {QStringLiteral("stdout"), run.out},
        {QStringLiteral("stderr"), run.err},
        {QStringLiteral("requests"), readAll(script + QStringLiteral(".log"))}};
    for (const auto &[name, bytes] : outputs) {
        const QString m = outputMismatch(step.value(name), bytes, tokens, name);
        if (!m.isEmpty())
            return m;
    }
    const QString after = step.value(QStringLiteral("homeLike")).toString();
    return after.isEmpty() ? QString() : syncHome(after, home, tokens, false);
}

// The fake's pid must name no process once the command has returned.
QString childLeft(const QString &pidFile) {
    const pid_t pid = pid_t(readAll(pidFile).toLong());
    errno = 0;
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno == ESRCH))
        return QString();
    ::kill(pid, SIGKILL);
    return QStringLiteral("the sidecar child %1 outlived the command").arg(pid);
}

} // namespace

class SetupCliTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cases_data();
    void cases();

private:
    QTemporaryDir root_;
    QMap<QString, QString> programs_;
};

void SetupCliTest::initTestCase() {
    QVERIFY2(!root_.path().contains(QLatin1String("/build/")), "temp dir inside a build tree");
    const QString setup = binDir() + QStringLiteral("/quorvelin-mcp-setup");
    const QString fake = binDir() + QStringLiteral("/quorvelin-fake-sidecar");
    // Copies outside the build tree count as the installed product; their paths hold a blank.
    const QPair<QString, QString> copies[] = {{QStringLiteral("installed"), sidecarPath()},
                                              {QStringLiteral("fake"), fake},
                                              {QStringLiteral("noexec"), fake},
                                              {QStringLiteral("alone"), QString()}};
    for (const auto &[name, sidecar] : copies) {
        const QString dir = root_.path() + QLatin1Char('/') + name + QStringLiteral(" copy");
        QVERIFY(sidecar.isEmpty() ||
                !copyExecutable(sidecar, dir, QStringLiteral("quorvelin-mcp")).isEmpty());
        programs_.insert(name, copyExecutable(setup, dir));
        QVERIFY(!programs_.value(name).isEmpty());
    }
    QVERIFY(QFile::setPermissions(root_.path() + QStringLiteral("/noexec copy/quorvelin-mcp"),
                                  QFile::ReadOwner | QFile::WriteOwner));
    programs_.insert(QStringLiteral("build"), setup);
}

void SetupCliTest::cases_data() {
    QTest::addColumn<QJsonObject>("testCase");
    QTest::addColumn<QJsonObject>("messages");
    const QFileInfoList files = QDir(kData).entryInfoList({QStringLiteral("*.json")}, QDir::Files);
    QVERIFY(!files.isEmpty());
    for (const QFileInfo &info : files) {
        QJsonParseError error;
        const QJsonObject file = QJsonDocument::fromJson(readAll(info.filePath()), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError,
                 qPrintable(info.fileName() + QLatin1Char(' ') + error.errorString()));
        const QJsonArray cases = file.value(QStringLiteral("cases")).toArray();
        for (const QJsonValue &c : cases)
            QTest::newRow(qPrintable(info.baseName() + QStringLiteral(": ") +
                                     c[QStringLiteral("name")].toString()))
                << c.toObject() << file.value(QStringLiteral("fakeMessages")).toObject();
    }
}

void SetupCliTest::cases() {
    QFETCH(QJsonObject, testCase);
    QFETCH(QJsonObject, messages);

    IsolatedEnv env;
    const QString program = programs_.value(
        testCase.value(QStringLiteral("program")).toString(QStringLiteral("installed")));
    QVERIFY2(!program.isEmpty(), "unknown program");
    const Tokens tokens{{QStringLiteral("@HOME@"), env.home()},
                        {QStringLiteral("@ROOT@"), env.root()},
                        {QStringLiteral("@DATA@"), env.dataHome()},
                        {QStringLiteral("@SIDECAR@"),
                         QFileInfo(program).path() + QStringLiteral("/quorvelin-mcp")}};
    const QJsonObject variables = testCase.value(QStringLiteral("env")).toObject();
    for (auto it = variables.begin(); it != variables.end(); ++it)
        env.set(it.key(), fill(it.value().toString(), tokens));
    const QString home = testCase.value(QStringLiteral("home")).toString();
    if (!home.isEmpty()) {
        const QString failure = syncHome(home, env.home(), tokens, true);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
    const QJsonArray dirs = testCase.value(QStringLiteral("mkdir")).toArray();
    for (const QJsonValue &dir : dirs)
        QVERIFY(QDir().mkpath(fill(dir.toString(), tokens)));
    const QJsonObject writes = testCase.value(QStringLiteral("write")).toObject();
    for (auto it = writes.begin(); it != writes.end(); ++it)
        QVERIFY(
            writeAll(fill(it.key(), tokens),
                     fill(it.value().isString()
                              ? it.value().toString()
                              : QString::fromUtf8(QJsonDocument(it.value().toObject()).toJson()),
                          tokens)
                         .toUtf8()));
    const QString script = env.root() + QStringLiteral("/fake.json");
    const QJsonValue fake = testCase.value(QStringLiteral("fake"));
    if (fake.isArray()) {
        QVERIFY(writeAll(script, QJsonDocument(QJsonObject{{QStringLiteral("messages"), messages},
                                                           {QStringLiteral("script"), fake}})
                                     .toJson()));
        env.set(QStringLiteral("QUORVELIN_FAKE_SCRIPT"), script);
    }

    const QJsonArray steps = testCase.contains(QStringLiteral("steps"))
                                 ? testCase.value(QStringLiteral("steps")).toArray()
                                 : QJsonArray{testCase};
    for (const QJsonValue &value : steps) {
        const QJsonObject step = value.toObject();
        QStringList arguments;
        const QJsonArray args = step.value(QStringLiteral("args")).toArray();
        for (const QJsonValue &arg : args)
            arguments << fill(arg.toString(), tokens);
        const ProcessRun run = runProcess(program, arguments, env.environment(), {}, 20000);
        const QString context = QStringLiteral("\nrun: %1\nstdout:\n%2\nstderr:\n%3")
                                    .arg(arguments.join(QLatin1Char(' ')),
                                         QString::fromUtf8(run.out), QString::fromUtf8(run.err));
        QVERIFY2(run.finished, qPrintable(QStringLiteral("did not finish") + context));
        const QString failure = stepMismatch(step, run, tokens, script, env.home());
        QVERIFY2(failure.isEmpty(), qPrintable(failure + context));
    }
    if (fake.isArray()) {
        const QString left = childLeft(script + QStringLiteral(".pid"));
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }
}

QTEST_GUILESS_MAIN(SetupCliTest)
#include "tst_setupcli.moc"
