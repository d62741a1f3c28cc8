// The client-integration library: the TOML line model, the integration check, and install and
// remove on real files (golden files, file-system failures). From build/bin it is a development
// build ("quorvelin-dev"); tst_mcpsetup_installed runs a copy outside the build tree, the installed
// product ("quorvelin"). Snippets, and the messages of a directory or a file in the way, are
// tested through the setup command in tests/setup.
#include "mcpproto/protocol.h"
#include "mcpsetup/discovery.h"
#include "mcpsetup/doctor.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/integration.h"
#include "mcpsetup/jsonc_p.h"
#include "mcpsetup/probe.h"
#include "mcpsetup/setup_p.h"
#include "mcpsetup/setuptest.h"
#include "pathdisplay/pathdisplay.h"
#include "support/processenv.h"
#include "support/scopedenv.h"

#include <QDateTime>
#include <QDir>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QLocalServer>
#include <QMetaProperty>
#include <QRegularExpression>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvelin::mcpsetup;
using namespace setuptest;
using quorvelin::testsupport::ScopedEnv;

namespace {

// ClientFormat values, and Remove added to one for the other operation, Comments for files with
// comments edited in place.
constexpr int Json = 0, Zed = 1, OpenCode = 2, Codex = 3, Remove = 4, Comments = 8;
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

QByteArray filled(const QByteArray &text) {
    return fill(text, tokens());
}

QByteArray filled(const QString &text) {
    return filled(text.toUtf8());
}

QString stampless(QString text) {
    return text.replace(QRegularExpression("\\d{8}_\\d{6}(_\\d+)?"), "@STAMP@");
}

// Qt writes members sorted by name: the other world's entry stands before ours in one build and
// after it in the other.
QByteArray sorted(const QByteArray &text, int op) {
    return op == Codex || op & Comments
               ? text
               : QJsonDocument::fromJson(text).toJson(QJsonDocument::Indented);
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
        row("Zed with comments: beside another server", Zed + Comments,
            "zed-settings-comments.json", "");
        row("Zed with comments, tabs, CR LF, a BOM: the container made and gone again",
            Zed + Comments, "zed-jsonc-crlf.json", "");
    }
    void goldens() {
        const auto [op, input, want] = fetch();
        const QString stem = kData + input.section('.', 0, 0),
                      path = home_.filePath(input.section('/', -1));
        const QByteArray original = filled(readAll(kData + input));
        QVERIFY(write(path, original));
        const quorvelin::testsupport::LogCapture log("quorvelin.service");
        const ConfigOptions options{bool(op & Comments), false};
        const InstallResult installed = installToFile(path, ClientFormat(op & 3), options);
        const QByteArray after = readAll(path);
        const InstallResult removed = removeFromFile(path, ClientFormat(op & 3), options);
        const QByteArray left = readAll(path);
        const QByteArray lines = stampless(log.lines().join('\n')).replace(path, "@PATH@").toUtf8();
        QCOMPARE(after, sorted(golden(stem + ".installed.expected", after, tokens()), op));
        QCOMPARE(left, sorted(golden(stem + ".removed.expected", left, tokens()), op));
        QCOMPARE(lines, golden(stem + ".log.expected", lines, tokens()));
        QCOMPARE(readAll(installed.backupPath) + readAll(removed.backupPath), original + after);
        QVERIFY(!(op & Comments) || left == original);
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

    // JSON with comments: the reader's verdict on input, its value in compact JSON when it reads
    // it.
    void jsoncReader_data() {
        columns();
        row("comments, trailing commas, a BOM", 0,
            "\xEF\xBB\xBF// c\n{\"a\": [1, \"\\ud83d\\ude00\",], /* b */ \"c\": {},}",
            "{\"a\":[1,\"😀\"],\"c\":{}}");
        // Written without raw strings, whose backslashes moc would misread.
        row("every escape", 0, "[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\", -0.5e+3, true, null]",
            "[\"\\\"\\\\/\\b\\f\\n\\r\\té\",-500,true,null]");
        row("a short \\u escape", 0, "[\"\\u12\"]", "第 1 行第 3 列：无效的转义序列");
        row("an unterminated comment", 0, "{} /* x", "第 1 行第 4 列：注释没有结束");
        row("an unterminated string", 0, "{\n  \"a\": \"x", "第 2 行第 8 列：字符串没有结束");
        row("a bad escape", 0, "[\"\\x\"]", "第 1 行第 3 列：无效的转义序列");
        row("a repeated key", 0, "{\"a\": 1, \"a\": 2}", "第 1 行第 10 列：重复的键“a”");
        row("nested too deep", 0, QString(257, '[') + QString(257, ']'),
            "第 1 行第 257 列：嵌套过深");
        row("more after the value", 0, "{} x", "第 1 行第 4 列：值之后还有多余的内容");
    }
    void jsoncReader() {
        const auto [op, input, want] = fetch();
        const JsoncDocument document = readJsonc(input.toUtf8());
        QCOMPARE(document.error.isEmpty()
                     ? QString::fromUtf8(QJsonDocument::fromVariant(document.root.value.toVariant())
                                             .toJson(QJsonDocument::Compact))
                     : document.error,
                 want);
    }

    // The edit in place: expected is what install makes of input; with Remove, remove gives the
    // input back.
    void jsoncEdit_data() {
        columns();
        const QString entry = R"({"args": [], "command": "@SIDECAR@"})";
        row("an empty object on one line", Json + Remove, "{ }",
            "{\"mcpServers\": {\"@NAME@\": " + entry + "} }");
        row("inline after a member", Json + Remove, "{\"a\": 1}",
            "{\"a\": 1, \"mcpServers\": {\"@NAME@\": " + entry + "}}");
        row("a trailing comma and a comment kept", Json + Remove,
            "{\n  \"mcpServers\": {\n    \"x\": 1, // x\n  },\n}",
            "{\n  \"mcpServers\": {\n    \"x\": 1, // x\n    \"@NAME@\": {\n      \"args\": [],"
            "\n      \"command\": \"@SIDECAR@\"\n    },\n  },\n}");
        row("an empty object whose line ends in a comment", Json + Remove, "{ /* a\nb */ }",
            "{\"mcpServers\": {\"@NAME@\": " + entry + "} /* a\nb */ }");
        row("the other world swept from between two", Json,
            "{\"mcpServers\": {\"a\": 1, \"@OTHER@\": 0, \"b\": 2}}",
            "{\"mcpServers\": {\"a\": 1, \"b\": 2, \"@NAME@\": " + entry + "}}");
        row("the other world alone, a trailing comma", Json, "{\"mcpServers\": {\"@OTHER@\": 0,}}",
            "{\"mcpServers\": {\"@NAME@\": " + entry + "}}");
        row("our entry replaced, the other world swept", Json,
            "{\"mcpServers\": {\"@OTHER@\": 0, \"@NAME@\": 1} /**/}",
            "{\"mcpServers\": {\"@NAME@\": " + entry + "} /**/}");
        row("no container object", OpenCode, "{\"mcp\": []}",
            "{\"mcp\": {\"@NAME@\": {\"command\": [\"@SIDECAR@\"], \"enabled\": true, "
            "\"type\": \"local\"}}}");
    }
    void jsoncEdit() {
        const auto [op, input, want] = fetch();
        const ConfigEdit installed =
            kJsoncFile.install(dialect(ClientFormat(op & 3)), filled(input));
        QCOMPARE(installed.bytes, filled(want));
        if (op & Remove)
            QCOMPARE(kJsoncFile.remove(dialect(ClientFormat(op & 3)), installed.bytes).bytes,
                     filled(input));
    }

    // A checked install refuses what its client could not load afterwards, file untouched.
    void checked_data() {
        columns();
        row("an inline table", Codex, "[mcp_servers]\n\"@NAME@\" = { command = '/x' }\n",
            "第 2 行已用内联表");
        row("dotted keys", Codex, "mcp_servers.@NAME@.command = '/x'\n", "第 1 行已用点号键");
        row("a file that does not load today", Codex, "[a]\n[a]\n", "");
    }
    void checked() {
        const auto [op, input, want] = fetch();
        const QString path = home_.filePath(QTest::currentDataTag());
        QVERIFY(write(path, filled(input)));
        const InstallResult result = installToFile(path, ClientFormat(op), {false, true});
        QCOMPARE(result.ok, want.isEmpty());
        QVERIFY(result.message.contains(want));
        QVERIFY(result.ok || readAll(path) == filled(input));
    }

    // The doctor on one client (op: its place in the catalogue) in a fresh home holding input
    // ("path=content", "|" between; @CONFIG@ is the client's file): the states of its findings,
    // then, after ": ", a piece of the last one's text.
    void doctor_data() {
        columns();
        const QString ours = R"(@CONFIG@={"mcpServers":{"@NAME@":{"command":"@SIDECAR@"}}})";
        row("no file", 3, "", "Warning: 没有配置文件");
        row("strict JSON broken", 3, "@CONFIG@={", "Problem: 无法被 Cursor 加载（第 1 行");
        row("comments for a strict client", 3, "@CONFIG@=//\n{}", "Problem: 含注释或尾随逗号");
        row("connected", 3, ours, "Ok Ok: 启动本机的 MCP sidecar");
        row("another program", 3, R"(@CONFIG@={"mcpServers":{"@NAME@":{"command":"/bin/sh"}}})",
            "Ok Problem: 启动的是另一个程序");
        row("Codex spelt inline", 2, "@CONFIG@=[mcp_servers]\n\"@NAME@\" = {command='@SIDECAR@'}",
            "Ok Warning Ok: 启动本机的 MCP sidecar");
        row("Codex: a header TOML reads as a string", 2,
            "@CONFIG@=a = \"\"\"\n[mcp_servers.@NAME@]\n\"\"\"", "Ok Warning Warning: 未接入");
        row("Codex: an accent where toml++ looks for white space", 2,
            "@CONFIG@=a = \"\"\"x \\\n  é、\"\"\"", "Ok Warning: 未接入");
        row("a Claude Code project scope", 0,
            R"(@CONFIG@={"projects":{"/p":{"mcpServers":{"@NAME@":{"command":"/q"}}}}})",
            "Ok Warning Problem: 同名条目");
        row("opencode.jsonc beside", 6,
            R"(@CONFIG@={"mcp":{"@NAME@":{"command":["@SIDECAR@"]}}}|@CONFIG@c=// x)"
            "\n{}",
            "Ok Ok Warning: 并存");
        row("the Cline command line's file", 4,
            ".cline/data/settings/cline_mcp_settings.json={\"mcpServers\":{}}",
            "Warning Warning: Cline 命令行客户端读取的是");
    }
    void doctor() {
        const auto [op, input, want] = fetch();
        QTemporaryDir home;
        const ScopedEnv scoped("HOME", QFile::encodeName(home.path()));
        const McpClient client = knownClients().at(op);
        for (const QString &file : input.split('|', Qt::SkipEmptyParts)) {
            const QString path = file.section('=', 0, 0).replace("@CONFIG@", client.configPath);
            const QString target = path.startsWith('/') ? path : home.filePath(path);
            QVERIFY(QDir().mkpath(QFileInfo(target).path()) &&
                    write(target, filled(file.section('=', 1))));
        }
        const QList<Finding> findings = clientFindings(client);
        QStringList states;
        for (const Finding &finding : findings)
            states << QMetaEnum::fromType<FindingState>().valueToKey(int(finding.state));
        QCOMPARE(states.join(' '), want.section(':', 0, 0));
        QVERIFY2(findings.constLast().text.contains(want.section(": ", 1)),
                 qPrintable(findings.constLast().text));
    }

    // Where the sidecar lies, as the doctor, the deploy helper and the setup command judge it.
    void sidecarPlacement_data() {
        columns();
        row("beside its module", 0, "sidecar+module", "Ok");
        row("missing", 0, "", "Problem 未找到 MCP sidecar");
        row("a folder in its place", 0, "folder", "Problem 是一个目录");
        row("not executable", 0, "sidecar+module-x", "Problem 没有执行权限");
        row("without its module", 0, "sidecar", "Problem GUI 桥接模块");
    }
    void sidecarPlacement() {
        const auto [op, input, want] = fetch();
        QTemporaryDir dir;
        const QString path = dir.filePath("quorvelin-mcp");
        if (input.startsWith("sidecar"))
            QVERIFY(input.contains("module")
                        ? !quorvelin::testsupport::copySidecar(dir.path()).isEmpty()
                        : !quorvelin::testsupport::copyExecutable(
                               quorvelin::testsupport::sidecarPath(), dir.path())
                               .isEmpty());
        QVERIFY(input != "folder" || QDir().mkpath(path));
        QVERIFY(!input.endsWith("-x") || QFile::setPermissions(path, QFile::ReadOwner));
        const QList<Finding> findings = sidecarFindings(path);
        QCOMPARE(findings.size(), 1);
        QVERIFY(QString(QMetaEnum::fromType<FindingState>().valueToKey(int(findings[0].state)) +
                        (' ' + findings[0].text))
                    .startsWith(want.section(' ', 0, 0)));
        QVERIFY2(findings[0].text.contains(want.section(' ', 1)), qPrintable(findings[0].text));
    }

    // The GUI program found on the bridge socket, or not; the catalogue counted.
    void installation() {
        QTemporaryDir dir;
        const ScopedEnv tmp("TMPDIR", QFile::encodeName(dir.path()));
        const ScopedEnv data("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        QCoreApplication::setApplicationName("Quorvelin");
        QVERIFY(QDir().mkpath(dir.filePath("Quorvelin")) &&
                write(toolCataloguePath(), R"({"tools":[{},{}]})"));
        const auto texts = [] {
            QString all;
            for (const Finding &finding : installationFindings(5000))
                all += QMetaEnum::fromType<FindingState>().valueToKey(int(finding.state)) +
                       (' ' + finding.text) + '\n';
            return all;
        };
        QVERIFY2(texts().contains("Warning Quorvelin 主程序此刻没有应答"), qPrintable(texts()));
        QLocalServer gui;
        QVERIFY(gui.listen(quorvelin::mcpproto::socketName()));
        const QString found = texts();
        QVERIFY2(found.contains("Ok Quorvelin 主程序正在应答") &&
                     found.contains("Ok 工具目录：2 个工具") && found.contains("Ok 自检通过"),
                 qPrintable(found));
    }

    // The self-test on the event loop gives what the blocking one gives; a cancel ends it at once.
    void asyncProbe() {
        const ProbeResult blocking = probeMcpServer(10000);
        QFuture<ProbeResult> future = probeMcpServerAsync(10000);
        QTRY_VERIFY(future.isFinished());
        const ProbeResult async = future.result();
        QVERIFY(blocking.ok && async.ok);
        QCOMPARE(async.serverName + async.serverBuild + async.protocolVersion + async.error,
                 blocking.serverName + blocking.serverBuild + blocking.protocolVersion);
        future = probeMcpServerAsync(60000);
        future.cancel();
        QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 1000);
        QVERIFY(future.isCanceled() && future.resultCount() == 0);
    }

    // The records keep their defaults; QDebug shows every field.
    void records() {
        const auto defaults = [](const QMetaObject &meta, const void *record) {
            for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
                const QVariant value = meta.property(i).readOnGadget(record);
                if (value != QVariant(value.metaType()))
                    return QString(meta.property(i).name());
            }
            return QString();
        };
        McpClient client;
        InstallResult install;
        IntegrationStatus status;
        ProbeResult probe;
        ClaudeCodeTarget target;
        Finding finding;
        QCOMPARE(defaults(McpClient::staticMetaObject, &client) +
                     defaults(InstallResult::staticMetaObject, &install) +
                     defaults(IntegrationStatus::staticMetaObject, &status) +
                     defaults(ProbeResult::staticMetaObject, &probe) +
                     defaults(ClaudeCodeTarget::staticMetaObject, &target) +
                     defaults(Finding::staticMetaObject, &finding),
                 QString());
        QString shown;
        QDebug(&shown) << IntegrationStatus{IntegrationState::Mismatch, "/a \"b\""};
        QCOMPARE(shown, "IntegrationStatus(state=Mismatch, command=\"/a \\\"b\\\"\") ");
    }
};

QTEST_GUILESS_MAIN(tst_McpSetup)
#include "tst_mcpsetup.moc"
