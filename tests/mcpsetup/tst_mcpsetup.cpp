// The client-integration library: the TOML line model, the integration check, and install and
// remove on real files (golden files, file-system failures). From build/bin it is a development
// build ("quorvelin-dev"); tst_mcpsetup_installed runs a copy outside the build tree, the installed
// product ("quorvelin"). Snippets, and the messages of a directory or a file in the way, are tested
// through the setup command in tests/setup.
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/integration.h"
#include "mcpsetup/setup_internal.h"
#include "mcpsetup/setuptest.h"
#include "support/scopedenv.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvelin::mcpsetup;
using namespace setuptest;

namespace {

// ClientFormat values, and Remove added to one for the other operation.
constexpr int Json = 0, Zed = 1, OpenCode = 2, Codex = 3, Remove = 4;
const QString kData = QStringLiteral(QUORVELIN_SETUP_DATA "/");
const char *const kStates[] = {"NotInstalled", "Installed", "Mismatch", "Unreadable"};

// This build's values of the placeholders; the entry names only where they stand as one (quoted,
// a table name, in a log line).
Tokens tokens() {
    const QString name = serverEntryName(), other = isDevBuild() ? "quorvelin" : "quorvelin-dev";
    Tokens all{{"@SIDECAR@", sidecarCommandPath()}};
    for (const QString edge : {"\"%1\"", ".%1]", ".%1.", "=%1 "})
        all << std::pair(edge.arg("@NAME@"), edge.arg(name))
            << std::pair(edge.arg("@OTHER@"), edge.arg(other));
    return all;
}

QByteArray filled(const QString &text) {
    return fill(text, tokens()).toUtf8();
}

QString stampless(QString text) {
    return text.replace(QRegularExpression("\\d{8}_\\d{6}(_\\d+)?"), "@STAMP@");
}

} // namespace

// Most tables have the columns op (a format, maybe plus Remove), input and expected.
class tst_McpSetup : public QObject {
    Q_OBJECT
    QTemporaryDir home_; // HOME of every test: messages show paths below it with "~"

    void columns() {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
    }

private slots:
    void initTestCase() {
        qputenv("HOME", QFile::encodeName(home_.path()));
        std::signal(SIGXFSZ, SIG_IGN);
    }

    // The lines join back; the shape: line ends, preamble lines, then each table's name parts and
    // lines, "*" for an entry table of quorvelin.
    void tomlModel() {
        const QString text =
            "a\nb\r\n[[mcp_servers.quorvelin]]\r\n #[x]\r\n[ mcp_servers . \"quorvelin\" ]\r\n"
            "[MCP_servers.quorvelin.e]\r\n[mcp_servers.quorvelin.e]\r\n[abc\r\n[a.'b.c'.\"d'e\"."
            "\"f.g]\r";
        const TomlDoc doc = tomlParse(text);
        QStringList lines = doc.preamble;
        QString shape = (doc.eol == "\r\n" ? "CRLF " : "LF ") + QString::number(lines.size());
        for (const TomlSection &s : doc.sections) {
            lines += s.lines;
            shape += QString::fromLatin1(s.isArrayTable ? " [[%1]]%2%3" : " [%1]%2%3")
                         .arg(s.path.join('|'))
                         .arg(s.lines.size())
                         .arg(QString(isEntrySection(s, "quorvelin") ? "*" : ""));
        }
        QCOMPARE(lines.join(doc.eol), text);
        QCOMPARE(shape, "CRLF 1 [[mcp_servers|quorvelin]]2 [mcp_servers|quorvelin]1* "
                        "[MCP_servers|quorvelin|e]1 "
                        "[mcp_servers|quorvelin|e]1* []1 [a|b.c|d'e|f.g]1");
    }

    // input: the file, or what of it lies in our entry (a JSON value) or our table (Codex);
    // expected: the state and the command.
    void integration_data() {
        columns();
        row("no JSON", Json, "{\"mcpServers\": {,}", "Unreadable");
        row("the other world", Json, R"({"mcpServers":{"@OTHER@":{}}})", "NotInstalled");
        row("installed", Json, R"({"command":"@SIDECAR@"})", "Installed @SIDECAR@");
        row("Zed: installed", Zed, R"({"command":{"path":"@SIDECAR@"}})", "Installed @SIDECAR@");
        row("OpenCode: installed", OpenCode, R"({"command":["@SIDECAR@",""]})",
            "Installed @SIDECAR@");
        row("Zed's shape", Json, R"({"command":{"path":"@SIDECAR@"}})", "Mismatch");
        row("another program", Json, R"({"command":"/usr/bin/env"})", "Mismatch /usr/bin/env");
        row("spelt another way", Json, R"({"command":"/@SIDECAR@"})", "Installed /@SIDECAR@");
        row("cleaned, no file", Json, R"({"command":"@SIDECAR@/../q"})", "Mismatch @SIDECAR@/../q");
        row("Codex: CR LF, quotes", Codex,
            "[ mcp_servers . \"@NAME@\" ]\r\ncommand='@SIDECAR@'\r\n", "Installed @SIDECAR@");
        row("Codex: \"command\"", Codex, "\"command\" = \"@SIDECAR@\"", "Installed @SIDECAR@");
        row("Codex: a comment first", Codex, "#command=\"/a\"\ncommand=\"@SIDECAR@\"",
            "Installed @SIDECAR@");
        row("Codex: \"command with one quote", Codex, "\"command = \"@SIDECAR@\"", "Mismatch");
        row("Codex: \"command' with two", Codex, "\"command' = \"@SIDECAR@\"", "Mismatch");
        row("Codex: the first command", Codex, "command =\ncommand = \"@SIDECAR@\"", "Mismatch");
        row("Codex: after [[ ]] and a sub-table", Codex,
            "[[mcp_servers.@NAME@]]\n[mcp_servers.@NAME@.e]\n[mcp_servers.@NAME@]\ncommand = "
            "\"@SIDECAR@\"",
            "Installed @SIDECAR@");
        row("Codex: escapes", Codex, "command = \"\\\\ \\\"\\t\\n\\q\" # \"",
            "Mismatch \\ \"\t\nq");
        row("Codex: a backslash last", Codex, "command = \"abc\\", "Mismatch abc\\");
        row("Codex: literal", Codex, R"(command = 'C:\Q\t.exe' # x)", R"(Mismatch C:\Q\t.exe)");
    }
    void integration() {
        QFETCH(int, op);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const Dialect &row = dialect(ClientFormat(op));
        const QString key = row.containerKey, path = home_.filePath(QTest::currentDataTag());
        QVERIFY(
            write(path, filled(input.startsWith(row.file.toml ? "[" : "{\"" + key) ? input
                               : row.file.toml ? "[mcp_servers.@NAME@]\n" + input
                                               : "{\"" + key + "\":{\"@NAME@\":" + input + "}}")));
        const IntegrationStatus status = checkIntegration(path, ClientFormat(op));
        QCOMPARE((kStates[int(status.state)] + (' ' + status.command)).trimmed(),
                 fill(expected, tokens()));
    }

    // Letter case, separators, dot segments.
    void normalize() { QCOMPARE(normalizePath("./C:\\Q\\\\b//./c/../D.EXE/"), "c:/q/b/d.exe"); }

    void backupNames() {
        const QString path = home_.filePath("named");
        QString base, name;
        do { // a name made in the next second starts afresh
            base = path + ".bak." + QDateTime::currentDateTime().toString("yyyyMMdd_HHmmss");
            QVERIFY(QDir().mkpath(base) && write(base + "_1", "taken"));
            name = uniqueBackupPath(path);
        } while (!name.startsWith(base));
        QCOMPARE(name, base + "_2");
    }

    // Install into a realistic file, then remove: the results and the log lines against golden
    // files, the backups against what was there.
    void goldens_data() {
        columns();
        row("Claude Code: stale other world swept, projects kept", Json, "claude-code.json", "");
        row("Claude Desktop: our old entry replaced", Json, "claude-desktop.json", "");
        row("Zed: the other world's command exists, kept", Zed, "zed-settings.json", "");
        row("OpenCode: an empty command swept", OpenCode, "opencode.json", "");
        row("Codex: comments, profiles, our tables amid", Codex, "codex-config.toml", "");
        row("Codex: CR LF", Codex, "codex-crlf.toml", "");
        row("Codex: new entry, then the original", Codex, "codex-plain.toml", "");
        row("OpenCode: a container that is no object", OpenCode, "edge/opencode-no-container.json",
            "");
        row("Codex: our tables were all there was", Codex, "edge/codex-ours-only.toml", "");
    }
    void goldens() {
        QFETCH(int, op);
        QFETCH(QString, input);
        const QString stem = kData + input.section('.', 0, 0),
                      path = home_.filePath(input.section('/', -1));
        const QByteArray original = filled(readAll(kData + input));
        QVERIFY(write(path, original));
        const quorvelin::testsupport::LogCapture log("quorvelin.service");
        const InstallResult installed = installToFile(path, ClientFormat(op));
        const QByteArray afterInstall = readAll(path);
        const InstallResult removed = removeFromFile(path, ClientFormat(op));
        const QByteArray afterRemove = readAll(path);
        const QByteArray logged =
            stampless(log.lines().join('\n') + '\n').replace(path, "@PATH@").toUtf8();
        // Qt writes members in order, so the other world's entry may stand before or after ours.
        const auto sorted = [op](const QByteArray &json) {
            return op == Codex ? json
                               : QJsonDocument::fromJson(json).toJson(QJsonDocument::Indented);
        };
        QCOMPARE(afterInstall,
                 sorted(golden(stem + ".installed.expected", afterInstall, tokens())));
        QCOMPARE(afterRemove, sorted(golden(stem + ".removed.expected", afterRemove, tokens())));
        QCOMPARE(logged, golden(stem + ".log.expected", logged, tokens()));
        QCOMPARE(readAll(installed.backupPath) + readAll(removed.backupPath),
                 original + afterInstall);
    }

    // Install and remove where the size of files written is limited to 40 bytes, the file is
    // read-only or a link. Expected: the message, "+backup" if one was made.
    void fileSystem_data() {
        columns();
        QTest::addColumn<QString>("condition");
        row("a write too big", Json, "{}", "无法写入：~@DIR@/config +backup", "size limit");
        row("a backup too big", Remove + Codex, "[mcp_servers.@NAME@]\ncommand = \"/q/q/q/q/q/q\"",
            "备份失败：@HOME@@DIR@/config.bak.@STAMP@", "size limit");
        row("a read-only file", Json, "{}", "无法写入：~@DIR@/config +backup", "read-only");
        row("comments", Zed, "//",
            "原文件 JSON 解析失败：illegal value（已备份到 "
            "@HOME@@DIR@/config.bak.@STAMP@，未修改原文件） +backup",
            "");
        row("comments, remove", Remove + Zed, "//", "原文件 JSON 解析失败，未改动", "");
        row("a symbolic link stays one", Codex, "a = 1\n", " +backup", "link");
    }
    void fileSystem() {
        QFETCH(int, op);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QFETCH(QString, condition);
        if (condition == "read-only" && ::geteuid() == 0)
            QSKIP("root writes read-only files");
        QTemporaryDir dir(home_.filePath("fs-XXXXXX"));
        const QString path = dir.filePath("config");
        QVERIFY(condition != "link" || QFile::link("target", path));
        QVERIFY(write(condition == "link" ? dir.filePath("target") : path, filled(input)));
        QVERIFY(condition != "read-only" || ::chmod(QFile::encodeName(path), 0400) == 0);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit{condition == "size limit" ? 40 : saved.rlim_cur, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit); // the write or copy fails with EFBIG, even for root
        const InstallResult result =
            (op & Remove ? removeFromFile : installToFile)(path, ClientFormat(op & 3));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(stampless(result.message + (result.backupPath.isEmpty() ? "" : " +backup")),
                 fill(expected,
                      {{"@HOME@", home_.path()}, {"@DIR@", dir.path().mid(home_.path().size())}}));
        QVERIFY(result.ok || readAll(path) == filled(input)); // a failure leaves the file as it was
        QVERIFY(result.backupPath.isEmpty() || readAll(result.backupPath) == filled(input));
        QCOMPARE(QDir(dir.path()).count(),
                 uint(3 + (condition == "link") + !result.backupPath.isEmpty()));
        QCOMPARE(QFileInfo(path).isSymLink(), condition == "link");
    }
};

QTEST_GUILESS_MAIN(tst_McpSetup)
#include "tst_mcpsetup.moc"
