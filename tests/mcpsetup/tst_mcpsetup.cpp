// The client-integration library: the TOML line model, the integration check, and install and
// remove on real files (golden files, file-system failures). From build/bin it is a development
// build ("quorvelin-dev"); tst_mcpsetup_installed runs a copy outside the build tree, the installed
// product ("quorvelin"). Snippets, and the messages of a directory or a file in the way, are
// tested through the setup command in tests/setup.
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/integration.h"
#include "mcpsetup/setup_p.h"
#include "mcpsetup/setuptest.h"
#include "pathdisplay/pathdisplay.h"
#include "support/scopedenv.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QRegularExpression>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvelin::mcpsetup;
using namespace setuptest;
using quorvelin::testsupport::ScopedEnv;

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
        all += {{edge.arg("@NAME@"), edge.arg(name)}, {edge.arg("@OTHER@"), edge.arg(other)}};
    return all;
}

QByteArray filled(const QString &text) {
    return fill(text, tokens()).toUtf8();
}

QString stampless(QString text) {
    return text.replace(QRegularExpression("\\d{8}_\\d{6}(_\\d+)?"), "@STAMP@");
}

// Qt writes members sorted by name: the other world's entry stands before ours in one build and
// after it in the other.
QByteArray sorted(const QByteArray &text, int format) {
    return format == Codex ? text : QJsonDocument::fromJson(text).toJson(QJsonDocument::Indented);
}

} // namespace

// The tables have the columns op (a format, maybe plus Remove), input and expected.
class tst_McpSetup : public QObject {
    Q_OBJECT
    QTemporaryDir home_; // HOME of every test: messages show paths below it with "~"

private slots:
    void initTestCase() {
        qputenv("HOME", QFile::encodeName(home_.path()));
        std::signal(SIGXFSZ, SIG_IGN);
    }

    // input: the file, or what of it lies in our entry (a JSON value) or our table (Codex);
    // expected: the state and the command.
    void integration_data() {
        columns();
        row("no JSON", Json, "{\"mcpServers\": {,}", "Unreadable");
        row("installed", Json, R"({"command":"@SIDECAR@"})", "Installed @SIDECAR@");
        row("Zed", Zed, R"({"command":{"path":"@SIDECAR@"}})", "Installed @SIDECAR@");
        row("OpenCode", OpenCode, R"({"command":["@SIDECAR@",""]})", "Installed @SIDECAR@");
        row("another program", Json, R"({"command":"/usr/bin/env"})", "Mismatch /usr/bin/env");
        row("spelt another way", Json, R"({"command":"/@SIDECAR@"})", "Installed /@SIDECAR@");
        row("cleaned, no file", Json, R"({"command":"@SIDECAR@/../q"})", "Mismatch @SIDECAR@/../q");
        row("CR LF", Codex, "[mcp_servers.@NAME@]\r\ncommand='@SIDECAR@'", "Installed @SIDECAR@");
        row("\"command\"", Codex, "\"command\" = \"@SIDECAR@\"", "Installed @SIDECAR@");
        row("a comment", Codex, "#command=\"/a\"\n'command'=\"@SIDECAR@\"", "Installed @SIDECAR@");
        row("\"command with one quote", Codex, "\"command = \"@SIDECAR@\"", "Mismatch");
        row("\"command' with two", Codex, "\"command' = \"@SIDECAR@\"", "Mismatch");
        row("others", Codex, "[a\n[MCP_servers.@NAME@]\n[mcp_servers]\ncommand=''", "NotInstalled");
        row("the first command", Codex, "command =\ncommand = \"@SIDECAR@\"", "Mismatch");
        row("after [[ ]], a sub-table", Codex,
            "[[mcp_servers.@NAME@]]\n[mcp_servers.@NAME@.]\n[\tmcp_servers.\"@NAME@\"]\ncommand=1",
            "Mismatch");
        row("escapes", Codex, "command = \"\\\\ \\\"\\t\\n\\q\" # \"", "Mismatch \\ \"\t\nq");
    }
    void integration() {
        const auto [op, input, want] = fetch();
        const Dialect &row = dialect(ClientFormat(op));
        const QString key = row.containerKey, path = home_.filePath(QTest::currentDataTag());
        const QString text = input.startsWith(row.file.toml ? "[" : "{\"" + key) ? input
                             : row.file.toml ? "[mcp_servers.@NAME@]\n" + input
                                             : "{\"" + key + "\":{\"@NAME@\":" + input + "}}";
        QVERIFY(write(path, filled(text)));
        const TomlDoc doc = tomlParse(text); // its lines give back any text exactly
        QStringList lines = doc.preamble;
        for (const TomlSection &section : doc.sections)
            lines += section.lines;
        QCOMPARE(lines.join(doc.eol), text);
        const IntegrationStatus got = checkIntegration(path, ClientFormat(op));
        QCOMPARE((kStates[int(got.state)] + (' ' + got.command)).trimmed(), fill(want, tokens()));
    }

    // Paths shown to the user (several, "|" between them) with HOME "/h/张//", or "/" for op 1,
    // folded into "~"; tst_pathdisplay runs this table.
    void masked_data() {
        columns();
        row("below home, home itself", 0, "/h/张/文档|/h/张", "~/文档|~");
        row("a sibling, another case, relative", 0, "/h/张x|/H/张|h/张", "/h/张x|/H/张|h/张");
        row("root as home", 1, "//srv/x|/tmp", "~/srv/x|/tmp");
    }
    void masked() {
        const auto [op, input, want] = fetch();
        const ScopedEnv home("HOME", op ? "/" : "/h/张//");
        QStringList shown;
        for (const QString &path : input.split('|'))
            shown << quorvelin::pathdisplay::forDisplay(path);
        QCOMPARE(shown.join('|'), want);
    }

    // Letter case, separators, dot segments.
    void normalize() { QCOMPARE(normalizePath("./C:\\Q\\\\b//./c/../D.EXE/"), "c:/q/b/d.exe"); }

    void backupNames() {
        QString base, name;
        do { // a name made in the next second starts afresh
            base = home_.filePath(QDateTime::currentDateTime().toString("'b.bak.'yyyyMMdd_HHmmss"));
            QVERIFY(QDir().mkpath(base) && write(base + "_1", "taken"));
            name = uniqueBackupPath(home_.filePath("b"));
        } while (!name.startsWith(base));
        QCOMPARE(name, base + "_2");
    }

    // Install into a realistic file, then remove: the results and the log lines against golden
    // files, the backups against what was there.
    void goldens_data() {
        columns();
        row("Claude Code: stale other world swept", Json, "claude-code.json", "");
        row("Claude Desktop: our entry replaced", Json, "claude-desktop.json", "");
        row("Zed: the other world kept", Zed, "zed-settings.json", "");
        row("OpenCode: an empty command swept", OpenCode, "opencode.json", "");
        row("Codex: comments, our tables amid", Codex, "codex-config.toml", "");
        row("Codex: CR LF", Codex, "codex-crlf.toml", "");
        row("Codex: the original back", Codex, "codex-plain.toml", "");
        row("OpenCode: no container object", OpenCode, "edge/opencode-no-container.json", "");
        row("Zed: a top level that is no object", Zed, "edge/zed-array.json", "");
        row("Codex: our tables were all", Codex, "edge/codex-ours-only.toml", "");
    }
    void goldens() {
        const auto [op, input, want] = fetch();
        const QString stem = kData + input.section('.', 0, 0),
                      path = home_.filePath(input.section('/', -1));
        const QByteArray original = filled(readAll(kData + input));
        QVERIFY(write(path, original));
        const quorvelin::testsupport::LogCapture log("quorvelin.service");
        const InstallResult installed = installToFile(path, ClientFormat(op));
        const QByteArray after = readAll(path);
        const InstallResult removed = removeFromFile(path, ClientFormat(op));
        const QByteArray left = readAll(path);
        const QByteArray lines = stampless(log.lines().join('\n')).replace(path, "@PATH@").toUtf8();
        QCOMPARE(after, sorted(golden(stem + ".installed.expected", after, tokens()), op));
        QCOMPARE(left, sorted(golden(stem + ".removed.expected", left, tokens()), op));
        QCOMPARE(lines, golden(stem + ".log.expected", lines, tokens()));
        QCOMPARE(readAll(installed.backupPath) + readAll(removed.backupPath), original + after);
    }

    // A file of over 20 MB in every dialect: install and remove keep all that is not ours (Codex
    // byte for byte, JSON member for member); each backup is the file as it was. Labelled slow,
    // it runs as tst_stress_config.
    void twentyMegabytes() {
        if (!qEnvironmentVariableIsSet("QUORVELIN_STRESS"))
            QSKIP("tst_stress_config runs this");
        for (const int format : {Json, Zed, OpenCode, Codex}) {
            const Dialect &row = dialect(ClientFormat(format));
            const QString path = home_.filePath("big");
            QByteArray text = row.file.toml ? "" : "{\"" + QByteArray(row.containerKey) + "\": {";
            const QByteArray part =
                row.file.toml ? "[mcp_servers.s@]\nx='中'\n" : "\"s@\":{\"x\":\"中\"},";
            for (int i = 0; text.size() < 21 << 20; ++i)
                text += QByteArray(part).replace('@', QByteArray::number(i));
            QVERIFY(write(path, text += row.file.toml ? "" : "\"z\": {}}}"));
            const InstallResult installed = installToFile(path, ClientFormat(format));
            const QByteArray after = readAll(path);
            const InstallResult removed = removeFromFile(path, ClientFormat(format));
            QVERIFY(installed.ok && removed.replaced && readAll(removed.backupPath) == after);
            QVERIFY(readAll(installed.backupPath) == text);
            QVERIFY(sorted(readAll(path), format) == sorted(text, format));
        }
    }

    // Install and remove when the size of files written is limited to 40 bytes, the file is
    // read-only or a link: input is the condition, "|", the content. Expected: the message, then
    // "+backup" if one was made.
    void fileSystem_data() {
        columns();
        row("a write too big", Json, "size limit|{}", "无法写入：@~@ +backup");
        row("a backup too big", Remove + Codex,
            "size limit|[mcp_servers.@NAME@]\ncommand='/q/q/q/q'", "备份失败：@BAK@");
        row("a read-only file", Json, "read-only|{}", "无法写入：@~@ +backup");
        row("comments", Zed, "|//",
            "原文件 JSON 解析失败：illegal value（已备份到 @BAK@，未修改原文件） +backup");
        row("a symbolic link stays one", Codex, "link|a = 1\n", " +backup");
    }
    void fileSystem() {
        const auto [op, input, want] = fetch();
        const QString condition = input.section('|', 0, 0), content = input.section('|', 1);
        if (condition == "read-only" && ::geteuid() == 0)
            QSKIP("root writes read-only files");
        QTemporaryDir dir(home_.filePath("fs-XXXXXX"));
        const QString path = dir.filePath("config");
        QVERIFY(write(dir.filePath(condition == "link" ? "target" : "config"), filled(content)));
        QVERIFY(condition != "link" || QFile::link("target", path));
        QVERIFY(condition != "read-only" || QFile::setPermissions(path, QFile::ReadOwner));
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit{condition == "size limit" ? 40 : saved.rlim_cur, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit); // the write or copy fails with EFBIG, even for root
        const auto out =
            (op & Remove ? removeFromFile : installToFile)(path, ClientFormat(op & 3), {});
        ::setrlimit(RLIMIT_FSIZE, &saved);
        const bool backup = !out.backupPath.isEmpty();
        const Tokens where{{"@BAK@", path + ".bak.@STAMP@"},
                           {"@~@", "~" + path.mid(home_.path().size())}};
        QCOMPARE(stampless(out.message + (backup ? " +backup" : "")), fill(want, where));
        QVERIFY(out.ok || readAll(path) == filled(content)); // a failure leaves the file as it was
        QVERIFY(!backup || readAll(out.backupPath) == filled(content));
        QCOMPARE(QDir(dir.path()).count(), 3u + (condition == "link") + backup);
        QCOMPARE(QFileInfo(path).isSymLink(), condition == "link");
    }
};

QTEST_GUILESS_MAIN(tst_McpSetup)
#include "tst_mcpsetup.moc"
