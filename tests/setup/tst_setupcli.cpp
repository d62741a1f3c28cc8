// Runs the case files in data/: each case starts quorvelin-mcp-setup (a copy beside the real
// sidecar, a fake one or none, or the build's own) in a private home, step by step, and checks
// exit status, stdout (as JSON or text), stderr, the files it leaves and the fake's requests.
// The library's self-test and discovery are tested here too, through the command, so they see
// the identity of that copy exactly as they would inside the GUI program.
#include "support/cases.h"
#include "support/processenv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

using namespace quorvelin::testsupport;

namespace {

const QString kData = QStringLiteral(QUORVELIN_SETUPCLI_DATA);

// Every file of data/homes/`name`, tokens filled, against the same path below `home`: written
// there when seeding, compared otherwise. Returns the first difference.
QString syncHome(const QString &name, const QString &home, const Tokens &tokens, bool seed) {
    const QString dir = kData + QStringLiteral("/homes/") + name;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QString failure = QStringLiteral("no files in ") + dir;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = home + source.mid(dir.size());
        const QByteArray bytes = fill(QString::fromUtf8(readFile(source)), tokens).toUtf8();
        if (seed ? !writeFile(target, bytes) : readFile(target) != bytes)
            return QStringLiteral("%1 is not %2:\n%3").arg(target, source, readFile(target));
        failure.clear();
    }
    return failure;
}

// `expected` is text (exact, or "re:" a pattern) or JSON that the whole of `actual` must be.
QString outputMismatch(const QJsonValue &expected, const QByteArray &actual, const Tokens &tokens,
                       const QString &where) {
    if (expected.isUndefined())
        return QString();
    if (expected.isString())
        return jsonMismatch(expected, QString::fromUtf8(actual), tokens, where);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(actual, &error);
    if (error.error != QJsonParseError::NoError)
        return where + QStringLiteral(" is not one JSON document: ") + error.errorString();
    return jsonMismatch(
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
        {QStringLiteral("requests"), readFile(script + QStringLiteral(".log"))}};
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
    const pid_t pid = pid_t(readFile(pidFile).toLong());
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
    void cases_data() { addCaseRows(kData); }
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

void SetupCliTest::cases() {
    QFETCH(QJsonObject, testCase);

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
            writeFile(fill(it.key(), tokens),
                      fill(it.value().isString()
                               ? it.value().toString()
                               : QString::fromUtf8(QJsonDocument(it.value().toObject()).toJson()),
                           tokens)
                          .toUtf8()));
    const QString script = env.root() + QStringLiteral("/fake.json");
    const QJsonValue fake = testCase.value(QStringLiteral("fake"));
    if (fake.isArray()) {
        QVERIFY(
            writeFile(script, QJsonDocument(QJsonObject{{QStringLiteral("messages"),
                                                         testCase[QStringLiteral("fakeMessages")]},
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
