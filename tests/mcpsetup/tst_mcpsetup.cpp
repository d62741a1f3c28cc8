#include "mcpsetup/clients.h"
#include "mcpsetup/entry.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/integration.h"
#include "mcpsetup/setup_internal.h"
#include "support/cases.h"
#include "support/processenv.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvelin::mcpsetup;
using namespace quorvelin;
using namespace quorvelin::testsupport;

// Replays the case files of data/cases (each says what it covers) against the setup library:
// files are laid out in a fresh directory below a private HOME, the steps run, and the result
// records, files, directory listings and log lines are compared with the expectations.
namespace {

const QString kData = QStringLiteral(QUORVELIN_SETUP_DATA);
const std::pair<const char *, ClientFormat> kFormats[] = {{"json", ClientFormat::McpServersJson},
                                                          {"zed", ClientFormat::ZedContextServers},
                                                          {"opencode", ClientFormat::OpenCodeMcp},
                                                          {"toml", ClientFormat::CodexToml}};
const char *const kStates[] = {"NotInstalled", "Installed", "Mismatch", "Unreadable"};

// Caps the size of files this process writes while it lives (SIGXFSZ is ignored, so a write
// fails with EFBIG): a failing copy or write that root cannot get around.
struct FileSizeLimit {
    rlimit previous{};
    explicit FileSizeLimit(int bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        limit.rlim_cur = bytes > 0 ? rlim_t(bytes) : previous.rlim_cur;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &previous); }
};

// A name of kFormats, or a number for a value outside the enumeration; absent means "json".
ClientFormat formatOf(const QJsonValue &value) {
    for (const auto &[name, format] : kFormats) {
        if (value.toString() == QLatin1String(name))
            return format;
    }
    return static_cast<ClientFormat>(value.toInt());
}

QString modeOf(const QString &path) {
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0
               ? QString::number(info.st_mode & 0777, 8)
               : QStringLiteral("missing");
}

QString stampNow() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

// One replay of a case: its directory, its tokens and the faults found so far.
class Run {
public:
    explicit Run(const QString &home)
        : dir_(home + QStringLiteral("/case-XXXXXX")) {
        stamps_.append(stampNow());
        const QString sidecar = sidecarCommandPath();
        const qsizetype slash = sidecar.lastIndexOf(QLatin1Char('/'));
        const QString name = serverEntryName();
        const bool release = name == QLatin1String("quorvelin");
        tokens_ = {
            {"@NAME@", name},
            {"@OTHER@", release ? QStringLiteral("quorvelin-dev") : QStringLiteral("quorvelin")},
            {"@SIDECAR@", sidecar},
            {"@SIDECAR_DIR@", sidecar.left(slash)},
            {"@SIDECAR_FILE@", sidecar.mid(slash + 1)},
            {"@SIDECAR_BS@", QString(sidecar).replace(QLatin1Char('/'), QLatin1Char('\\'))},
            {"@Q@", sidecar.contains(QLatin1Char(' ')) ? QStringLiteral("\"") : QString()},
            {"@CLAUDE_DIR@", isDevBuild() ? QStringLiteral("/.claude-dev") : QString()},
            {"@~DIR@", QLatin1Char('~') + dir_.path().mid(home.size())},
            {"@DIR@", dir_.path()},
            {"@HOME@", home},
            {"@STAMP@", stamps_.constFirst()},
            {"@BACKUP@", QString()}};
    }
    ~Run() {
        for (const auto &[path, mode] : modes_)
            ::chmod(QFile::encodeName(path).constData(), mode);
    }

    QStringList faults;

    QString fill(const QString &text) const { return testsupport::fill(text, tokens_); }
    // Tokens in every string and key of a JSON value.
    QJsonValue fill(const QJsonValue &value) const {
        QString json = shown(value);
        for (const auto &[token, text] : tokens_)
            json.replace(token, shown(text).chopped(1).mid(1));
        return QJsonDocument::fromJson("[" + json.toUtf8() + "]").array().at(0);
    }
    // Relative paths lie in the case directory.
    QString at(const QString &path) const {
        const QString filled = fill(path);
        return filled.startsWith(QLatin1Char('/')) ? filled
                                                   : dir_.path() + QLatin1Char('/') + filled;
    }
    QByteArray fixture(const QString &name) const {
        return fill(QString::fromUtf8(readFile(kData + QLatin1Char('/') + name))).toUtf8();
    }
    // A text, {"text": text} or {"fixture": file}.
    QByteArray text(const QJsonValue &spec) const {
        const QJsonObject object = spec.toObject();
        const QJsonValue text = spec.isString() ? spec : object.value(QStringLiteral("text"));
        return text.isString() ? fill(text.toString()).toUtf8()
                               : fixture(object.value(QStringLiteral("fixture")).toString());
    }

    void afterStep(const QString &backupPath) {
        stamps_.append(stampNow());
        tokens_.last().second = backupPath;
    }
    // Backup names made in a later second than the case started read as made in the first.
    QString settled(QString text) const {
        for (const QString &stamp : stamps_)
            text.replace(QStringLiteral(".bak.") + stamp,
                         QStringLiteral(".bak.") + stamps_.constFirst());
        return text;
    }
    bool crossedSecond() const { return stamps_.constFirst() != stamps_.constLast(); }

    void expect(const QString &what, const QJsonValue &expected, const QJsonValue &actual) {
        const QJsonValue want = fill(expected);
        const QJsonValue got = actual.isString() ? QJsonValue(settled(actual.toString())) : actual;
        if (want.isObject() && got.isString())
            expectBytes(what, want, got.toString().toUtf8());
        else if (want != got)
            faults << what + QStringLiteral(": expected ") + shown(want) +
                          QStringLiteral(", got ") + shown(got);
    }
    // `spec`: a text spec, {"golden": file} (rewritten from `actual` when
    // QUORVELIN_REGENERATE_GOLDEN=1) or {"json": value} (compared as parsed JSON).
    void expectBytes(const QString &what, const QJsonValue &spec, const QByteArray &actual) {
        const QJsonObject object = spec.toObject();
        const QString golden = object.value(QStringLiteral("golden")).toString();
        if (!golden.isEmpty() && qEnvironmentVariableIntValue("QUORVELIN_REGENERATE_GOLDEN") == 1)
            writeFile(kData + QLatin1Char('/') + golden, unfilled(actual));
        if (object.contains(QStringLiteral("json")))
            return expect(what, object.value(QStringLiteral("json")),
                          QJsonDocument::fromJson(actual).object());
        const QByteArray expected = golden.isEmpty() ? text(spec) : fixture(golden);
        if (expected != actual)
            faults << what + QStringLiteral(" differs; expected:\n") + QString::fromUtf8(expected) +
                          QStringLiteral("\ngot:\n") + QString::fromUtf8(actual);
    }

    // `files`: path -> a text spec or {"link": target}, either with {"mode": "400"} if wanted;
    // a path ending in "/" is a directory. Modes are set last and restored at the end.
    void lay(const QJsonObject &files) {
        for (auto it = files.begin(); it != files.end(); ++it) {
            const QString path = at(it.key());
            QDir().mkpath(QFileInfo(path).absolutePath());
            const QString link = it.value().toObject().value(QStringLiteral("link")).toString();
            const bool laid = it.key().endsWith(QLatin1Char('/')) ? QDir().mkpath(path)
                              : link.isEmpty()                    ? writeFile(path, text(*it))
                                                                  : QFile::link(link, path);
            if (!laid)
                faults << QStringLiteral("cannot lay out ") + path;
        }
        for (auto it = files.begin(); it != files.end(); ++it) {
            const QString mode = it.value().toObject().value(QStringLiteral("mode")).toString();
            if (!mode.isEmpty()) {
                modes_.prepend({at(it.key()), modeOf(at(it.key())).toUInt(nullptr, 8)});
                ::chmod(QFile::encodeName(at(it.key())).constData(), mode.toUInt(nullptr, 8));
            }
        }
    }
    // `files`: path -> null (nothing there), a byte spec (see expectBytes) or {"mode": "600"}.
    void expectFiles(const QString &what, const QJsonObject &files) {
        for (auto it = files.begin(); it != files.end(); ++it) {
            const QString name = what + QLatin1Char(' ') + it.key();
            const QString mode = it.value().toObject().value(QStringLiteral("mode")).toString();
            if (it.value().isNull() || !QFileInfo::exists(at(it.key())))
                expect(name + QStringLiteral(" exists"), !it.value().isNull(),
                       QFileInfo(at(it.key())).exists());
            else if (!mode.isEmpty())
                expect(name + QStringLiteral(" mode"), mode, modeOf(at(it.key())));
            else
                expectBytes(name, *it, readFile(at(it.key())));
        }
    }
    // Names in a directory: "/" marks a directory, " -> target" a symbolic link.
    QJsonArray listing(const QString &dir) const {
        QJsonArray names;
        for (const QFileInfo &info : QDir(at(dir)).entryInfoList(
                 QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name))
            names.append(settled(info.fileName()) +
                         (info.isSymLink() ? QStringLiteral(" -> ") + info.symLinkTarget()
                          : info.isDir()   ? QStringLiteral("/")
                                           : QString()));
        return names;
    }

private:
    // This build's names and sidecar path turned back into tokens, for golden files.
    QByteArray unfilled(QByteArray text) const {
        text.replace(sidecarCommandPath().toUtf8(), "@SIDECAR@");
        for (const char *token : {"@NAME@", "@OTHER@"}) {
            const QByteArray value = fill(QString::fromLatin1(token)).toUtf8();
            text.replace('"' + value + '"', '"' + QByteArray(token) + '"');
            text.replace("mcp_servers." + value + ']', "mcp_servers." + QByteArray(token) + ']');
            text.replace("mcp_servers." + value + '.', "mcp_servers." + QByteArray(token) + '.');
        }
        return text;
    }

    QTemporaryDir dir_;
    QStringList stamps_;
    Tokens tokens_;
    QList<std::pair<QString, uint>> modes_;
};

// One step of a case; what it does not say, its case says.
struct Step {
    QJsonObject json;
    QJsonObject parent;
    Run &run;
    QJsonValue operator[](const char *key) const {
        return json.value(QLatin1String(key)).isUndefined() ? parent.value(QLatin1String(key))
                                                            : json.value(QLatin1String(key));
    }
    QString path() const { return run.at((*this)["path"].toString(QStringLiteral("config"))); }
    ClientFormat format() const { return formatOf((*this)["format"]); }
};

QJsonObject recordOf(const InstallResult &result) {
    return {{"ok", result.ok},
            {"configPath", result.configPath},
            {"backupPath", result.backupPath},
            {"replaced", result.replaced},
            {"staleRemoved", result.staleRemoved},
            {"message", result.message}};
}

// "[part|part] xLines" per table ("[[...]]" for an array table); the lines must join back.
QJsonObject parsed(const Step &step) {
    const QString text = step["text"].toString();
    const TomlDoc doc = tomlParse(text);
    QStringList lines = doc.preamble;
    QStringList sections;
    int entries = 0;
    for (const TomlSection &section : doc.sections) {
        lines.append(section.lines);
        sections.append(QLatin1String(section.isArrayTable ? "[[%1]] x%2" : "[%1] x%2")
                            .arg(section.path.join(QLatin1Char('|')))
                            .arg(section.lines.size()));
        entries += isEntrySection(section, QStringLiteral("quorvelin")) ? 1 : 0;
    }
    if (lines.join(doc.eol) != text)
        step.run.faults << QStringLiteral("the lines joined with eol differ from the text");
    return {{"eol", doc.eol},
            {"preamble", QJsonArray::fromStringList(doc.preamble)},
            {"sections", QJsonArray::fromStringList(sections)},
            {"entrySections", entries}};
}

QJsonValue entryOf(const Step &s) {
    return s["builtFor"].isUndefined() ? s.run.fill(s["entry"])
                                       : QJsonValue(buildJsonEntry(formatOf(s["builtFor"])));
}

QJsonObject one(const char *key, const QJsonValue &value) {
    return {{QLatin1String(key), value}};
}

using Op = QJsonObject (*)(const Step &);
const std::pair<const char *, Op> kOps[] = {
    {"install", [](auto &s) { return recordOf(installToFile(s.path(), s.format())); }},
    {"remove", [](auto &s) { return recordOf(removeFromFile(s.path(), s.format())); }},
    {"check",
     [](auto &s) {
         const IntegrationStatus status = checkIntegration(s.path(), s.format());
         return QJsonObject{{"state", kStates[int(status.state)]}, {"command", status.command}};
     }},
    {"backupName", [](auto &s) { return one("backupPath", uniqueBackupPath(s.path())); }},
    {"snippet", [](auto &s) { return one("text", buildMcpServerSnippet(s.format())); }},
    {"jsonSnippet", [](auto &) { return one("text", buildMcpServerJsonSnippet()); }},
    {"extract", [](auto &s) { return one("command", extractCommand(s.format(), entryOf(s))); }},
    {"normalize", [](auto &s) { return one("normalized", normalizePath(s["path"].toString())); }},
    {"parse", parsed},
};

void replay(const QJsonObject &testCase, Run &run) {
    QJsonObject given = testCase.value(QStringLiteral("given")).toObject();
    if (testCase.contains(QStringLiteral("content")))
        given.insert(testCase.value(QStringLiteral("path")).toString(QStringLiteral("config")),
                     testCase.value(QStringLiteral("content")));
    run.lay(given);
    const QJsonArray steps = testCase.value(QStringLiteral("steps")).toArray();
    for (qsizetype i = 0; i < qMax<qsizetype>(steps.size(), 1); ++i) {
        const Step step{steps.isEmpty() ? testCase : steps.at(i).toObject(), testCase, run};
        if (!steps.isEmpty())
            run.lay(step.json.value(QStringLiteral("given")).toObject());
        const QString what = QStringLiteral("step %1 (%2)").arg(i + 1).arg(step["op"].toString());
        const auto op = std::find_if(std::begin(kOps), std::end(kOps), [&](const auto &entry) {
            return step["op"] == QLatin1String(entry.first);
        });
        if (op == std::end(kOps))
            return void(run.faults << what + QStringLiteral(": no such operation"));
        QJsonObject record;
        QStringList log;
        {
            const LogCapture capture("quorvelin.service");
            const FileSizeLimit limit(step["fileSizeLimit"].toInt());
            record = op->second(step);
            log = capture.lines();
        }
        run.afterStep(record.value(QStringLiteral("backupPath")).toString());
        const QJsonObject expect = step["expect"].toObject();
        for (auto it = expect.begin(); it != expect.end(); ++it)
            run.expect(what + QLatin1Char(' ') + it.key(), *it, record.value(it.key()));
        run.expectFiles(what, step["files"].toObject());
        const QJsonObject listings = step["listing"].toObject();
        for (auto it = listings.begin(); it != listings.end(); ++it)
            run.expect(what + QStringLiteral(" listing of ") + it.key(), *it,
                       run.listing(it.key()));
        if (!step["log"].isUndefined())
            run.expect(what + QStringLiteral(" log"), step["log"], QJsonArray::fromStringList(log));
    }
}

} // namespace

class tst_McpSetup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cases_data() { addCaseRows(kData + QStringLiteral("/cases")); }
    void cases();
    void withoutSidecar();

private:
    QTemporaryDir root_;
    std::unique_ptr<ScopedEnv> home_;
};

void tst_McpSetup::initTestCase() {
    QVERIFY(root_.isValid());
    home_ = std::make_unique<ScopedEnv>("HOME", QFile::encodeName(root_.path()));
    qunsetenv("QUORVELIN_DEV");
    std::signal(SIGXFSZ, SIG_IGN);
    qInfo("entry %s, sidecar %s", qPrintable(serverEntryName()), qPrintable(sidecarExePath()));
}

void tst_McpSetup::cases() {
    QFETCH(QJsonObject, testCase);
    if (testCase.contains(QStringLiteral("skipAsRoot")) && ::geteuid() == 0)
        QSKIP(qPrintable(testCase.value(QStringLiteral("skipAsRoot")).toString()));
    const bool wantsNoSidecar =
        testCase.value(QStringLiteral("sidecar")) == QLatin1String("missing");
    if (wantsNoSidecar == QFileInfo::exists(sidecarExePath()))
        QSKIP(wantsNoSidecar ? "needs a copy without the sidecar beside it (withoutSidecar)"
                             : "the sidecar is missing here");
    QStringList faults;
    // A case that ran across a second boundary may see two backup times; it runs again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto env = caseEnv(testCase);
        Run run(root_.path());
        replay(testCase, run);
        faults = run.faults;
        if (faults.isEmpty() || !run.crossedSecond())
            break;
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void tst_McpSetup::withoutSidecar() {
    if (!QFileInfo::exists(sidecarExePath()))
        QSKIP("this is the copy without the sidecar");
    // A copy of this test alone in a directory replays the rows that need the sidecar missing.
    const IsolatedEnv env;
    QVERIFY(env.isValid());
    const QString copy = copyExecutable(QCoreApplication::applicationFilePath(),
                                        env.root() + QStringLiteral("/alone"));
    QVERIFY(!copy.isEmpty());
    const ProcessRun run =
        runProcess(copy, {QStringLiteral("cases")}, env.environment(), {}, 60000);
    QVERIFY2(run.finished && run.exitCode == 0, run.out + run.err);
    QVERIFY2(run.out.contains("PASS   : tst_McpSetup::cases(failures: sidecar missing"), run.out);
}

QTEST_GUILESS_MAIN(tst_McpSetup)
#include "tst_mcpsetup.moc"
