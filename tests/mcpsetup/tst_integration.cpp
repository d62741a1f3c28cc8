#include "mcpsetup/identity.h"
#include "mcpsetup/integration.h"
#include "mcpsetup/setup_internal.h"
#include "setuptest.h"
#include "support/scopedenv.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quorvelin::mcpsetup;
using quorvelin::testsupport::InProcessHome;

namespace {

// The sidecar path with a twist that normalisation must see through; the twist happens in the
// directory part, so that the file name stays the sidecar's.
QString sidecarVariant(const QString &twist) {
    const QString sidecar = sidecarCommandPath();
    const qsizetype slash = sidecar.lastIndexOf(QLatin1Char('/'));
    const QString dir = sidecar.left(slash);
    const QString file = sidecar.mid(slash + 1);
    if (twist == QLatin1String("dot"))
        return dir + QStringLiteral("/./") + file;
    if (twist == QLatin1String("double"))
        return dir + QStringLiteral("//") + file;
    if (twist == QLatin1String("dotdot"))
        return dir + QStringLiteral("/no-such-dir/../") + file;
    if (twist == QLatin1String("upper"))
        return dir.toUpper() + QLatin1Char('/') + file;
    if (twist == QLatin1String("elsewhere"))
        return dir + QStringLiteral("-elsewhere/") + file;
    if (twist == QLatin1String("backslash"))
        return QString(dir).replace(QLatin1Char('/'), QLatin1Char('\\')) + QLatin1Char('\\') + file;
    return sidecar;
}

} // namespace

class tst_Integration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void jsonStates_data();
    void jsonStates();
    void sidecarPathVariants_data();
    void sidecarPathVariants();
    void codexStates_data();
    void codexStates();
    void codexCommandDecoding_data();
    void codexCommandDecoding();
    void unreadableWhenThePathIsADirectory();
    void normalizePathRules_data();
    void normalizePathRules();

private:
    QString writeConfig(const QByteArray &content);

    std::unique_ptr<InProcessHome> home_;
    QTemporaryDir dir_;
    int files_ = 0;
};

void tst_Integration::initTestCase() {
    home_ = std::make_unique<InProcessHome>();
    QVERIFY(home_->isValid());
    QVERIFY(dir_.isValid());
    qunsetenv("QUORVELIN_DEV");
}

// A fresh file per row; a null content leaves the path empty of any file.
QString tst_Integration::writeConfig(const QByteArray &content) {
    const QString path = dir_.path() + QStringLiteral("/config-%1").arg(++files_);
    if (!content.isNull() && !setuptest::writeBytes(path, setuptest::filled(content)))
        return QString();
    return path;
}

void tst_Integration::jsonStates_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<IntegrationState>("state");
    QTest::addColumn<QByteArray>("command"); // filled like the content

    const auto mcp = ClientFormat::McpServersJson;
    const auto zed = ClientFormat::ZedContextServers;
    const auto openCode = ClientFormat::OpenCodeMcp;
    const auto notInstalled = IntegrationState::NotInstalled;
    const auto installed = IntegrationState::Installed;
    const auto mismatch = IntegrationState::Mismatch;
    const auto unreadable = IntegrationState::Unreadable;

    QTest::newRow("missing file") << mcp << QByteArray() << notInstalled << QByteArray();
    QTest::newRow("empty file") << zed << QByteArray("") << notInstalled << QByteArray();
    QTest::newRow("syntax error") << mcp << QByteArray("{\"mcpServers\": {,}") << unreadable
                                  << QByteArray();
    QTest::newRow("top level is an array")
        << mcp << QByteArray("[{\"mcpServers\":{}}]") << notInstalled << QByteArray();
    QTest::newRow("container is a string")
        << mcp << QByteArray(R"({"mcpServers":"@NAME@"})") << notInstalled << QByteArray();
    QTest::newRow("only the other world's entry")
        << mcp << QByteArray(R"({"mcpServers":{"@OTHER@":{"command":"@SIDECAR@"}}})")
        << notInstalled << QByteArray();
    QTest::newRow("our entry under another dialect's container")
        << zed << QByteArray(R"({"mcpServers":{"@NAME@":{"command":"@SIDECAR@"}}})") << notInstalled
        << QByteArray();
    QTest::newRow("installed, mcpServers")
        << mcp << QByteArray(R"({"mcpServers":{"@NAME@":{"command":"@SIDECAR@","args":[]}}})")
        << installed << QByteArray("@SIDECAR@");
    QTest::newRow("installed, Zed")
        << zed << QByteArray(R"({"context_servers":{"@NAME@":{"command":{"path":"@SIDECAR@"}}}})")
        << installed << QByteArray("@SIDECAR@");
    QTest::newRow("installed, OpenCode")
        << openCode << QByteArray(R"({"mcp":{"@NAME@":{"type":"local","command":["@SIDECAR@"]}}})")
        << installed << QByteArray("@SIDECAR@");
    QTest::newRow("entry is null")
        << mcp << QByteArray(R"({"mcpServers":{"@NAME@":null}})") << mismatch << QByteArray();
    QTest::newRow("entry is a string")
        << mcp << QByteArray(R"({"mcpServers":{"@NAME@":"@SIDECAR@"}})") << mismatch
        << QByteArray();
    QTest::newRow("entry is an array")
        << mcp << QByteArray(R"({"mcpServers":{"@NAME@":["@SIDECAR@"]}})") << mismatch
        << QByteArray();
    QTest::newRow("entry without command")
        << mcp << QByteArray(R"({"mcpServers":{"@NAME@":{}}})") << mismatch << QByteArray();
    QTest::newRow("mcpServers with an object command")
        << mcp << QByteArray(R"({"mcpServers":{"@NAME@":{"command":{"path":"@SIDECAR@"}}}})")
        << mismatch << QByteArray();
    QTest::newRow("Zed with a string command")
        << zed << QByteArray(R"({"context_servers":{"@NAME@":{"command":"@SIDECAR@"}}})")
        << mismatch << QByteArray();
    QTest::newRow("OpenCode with a string command")
        << openCode << QByteArray(R"({"mcp":{"@NAME@":{"command":"@SIDECAR@"}}})") << mismatch
        << QByteArray();
    QTest::newRow("another program")
        << mcp << QByteArray(R"({"mcpServers":{"@NAME@":{"command":"/usr/bin/env"}}})") << mismatch
        << QByteArray("/usr/bin/env");
    QTest::newRow("an old installation that is gone")
        << mcp
        << QByteArray(
               R"({"mcpServers":{"@NAME@":{"command":"/Applications/Old.app/quorvelin-mcp"}}})")
        << mismatch << QByteArray("/Applications/Old.app/quorvelin-mcp");
}

void tst_Integration::jsonStates() {
    QFETCH(ClientFormat, format);
    QFETCH(QByteArray, content);
    QFETCH(IntegrationState, state);
    QFETCH(QByteArray, command);
    const QString path = writeConfig(content);
    QVERIFY(!path.isEmpty());
    const IntegrationStatus status = checkIntegration(path, format);
    QCOMPARE(status.state, state);
    QCOMPARE(status.command, QString::fromUtf8(setuptest::filled(command)));
}

void tst_Integration::sidecarPathVariants_data() {
    QTest::addColumn<QString>("twist");
    QTest::addColumn<bool>("sameAfterNormalising");

    QTest::newRow("as built") << "none" << true;
    QTest::newRow("single-dot segment") << "dot" << true;
    QTest::newRow("doubled separator") << "double" << true;
    QTest::newRow("missing directory and a dot-dot") << "dotdot" << true;
    QTest::newRow("letter case") << "upper" << true;
    QTest::newRow("backslashes") << "backslash" << true;
    QTest::newRow("a sibling directory") << "elsewhere" << false;
}

void tst_Integration::sidecarPathVariants() {
    QFETCH(QString, twist);
    QFETCH(bool, sameAfterNormalising);
    const QString command = sidecarVariant(twist);
    QCOMPARE(normalizePath(command) == normalizePath(sidecarExePath()), sameAfterNormalising);

    for (const ClientFormat format : {ClientFormat::McpServersJson, ClientFormat::CodexToml}) {
        const QByteArray escaped = QByteArray(command.toUtf8()).replace("\\", "\\\\");
        const QString path =
            writeConfig(format == ClientFormat::CodexToml
                            ? "[mcp_servers.@NAME@]\ncommand = \"" + escaped + "\"\n"
                            : "{\"mcpServers\":{\"@NAME@\":{\"command\":\"" + escaped + "\"}}}");
        const IntegrationStatus status = checkIntegration(path, format);
        // Installed needs the command as written to name an existing file; on this machine's
        // case-sensitive file system the upper-case and backslash forms name none.
        const bool exists = QFileInfo::exists(command);
        QCOMPARE(status.state, exists ? IntegrationState::Installed : IntegrationState::Mismatch);
        QCOMPARE(status.command, command);
    }
}

void tst_Integration::codexStates_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<IntegrationState>("state");
    QTest::addColumn<QByteArray>("command");

    const auto notInstalled = IntegrationState::NotInstalled;
    const auto installed = IntegrationState::Installed;
    const auto mismatch = IntegrationState::Mismatch;
    QTest::newRow("missing file") << QByteArray() << notInstalled << QByteArray();
    QTest::newRow("empty file") << QByteArray("") << notInstalled << QByteArray();
    QTest::newRow("no tables") << QByteArray("model = \"x\"\n") << notInstalled << QByteArray();
    QTest::newRow("installed") << QByteArray(
                                      "[mcp_servers.@NAME@]\ncommand = \"@SIDECAR@\"\nargs = []\n")
                               << installed << QByteArray("@SIDECAR@");
    QTest::newRow("CR LF file")
        << QByteArray("a = 1\r\n[mcp_servers.@NAME@]\r\ncommand = \"@SIDECAR@\"\r\n") << installed
        << QByteArray("@SIDECAR@");
    QTest::newRow("quoted header name")
        << QByteArray("[ mcp_servers . \"@NAME@\" ]\ncommand='@SIDECAR@'\n") << installed
        << QByteArray("@SIDECAR@");
    QTest::newRow("double-quoted key")
        << QByteArray("[mcp_servers.@NAME@]\n\"command\" = \"@SIDECAR@\"\n") << installed
        << QByteArray("@SIDECAR@");
    QTest::newRow("single-quoted key")
        << QByteArray("[mcp_servers.@NAME@]\n  'command'=\"@SIDECAR@\"\n") << installed
        << QByteArray("@SIDECAR@");
    QTest::newRow("commented-out command before the real one")
        << QByteArray("[mcp_servers.@NAME@]\n# command = \"/old\"\ncommand = \"@SIDECAR@\"\n")
        << installed << QByteArray("@SIDECAR@");
    QTest::newRow("first of two command lines decides, even empty")
        << QByteArray("[mcp_servers.@NAME@]\ncommand =\ncommand = \"@SIDECAR@\"\n") << mismatch
        << QByteArray();
    QTest::newRow("key case differs")
        << QByteArray("[mcp_servers.@NAME@]\nCommand = \"@SIDECAR@\"\n") << mismatch
        << QByteArray();
    QTest::newRow("commandline is another key")
        << QByteArray("[mcp_servers.@NAME@]\ncommandline = \"/x\"\n") << mismatch << QByteArray();
    QTest::newRow("command as an array")
        << QByteArray("[mcp_servers.@NAME@]\ncommand = [\"@SIDECAR@\"]\n") << mismatch
        << QByteArray();
    QTest::newRow("command as a bare word")
        << QByteArray("[mcp_servers.@NAME@]\ncommand = quorvelin\n") << mismatch << QByteArray();
    QTest::newRow("command only in the sub-table")
        << QByteArray("[mcp_servers.@NAME@]\nargs = []\n[mcp_servers.@NAME@.env]\ncommand = "
                      "\"@SIDECAR@\"\n")
        << mismatch << QByteArray();
    QTest::newRow("array of tables is not the entry")
        << QByteArray("[[mcp_servers.@NAME@]]\ncommand = \"@SIDECAR@\"\n") << notInstalled
        << QByteArray();
    QTest::newRow("sub-table alone is not the entry")
        << QByteArray("[mcp_servers.@NAME@.env]\ncommand = \"@SIDECAR@\"\n") << notInstalled
        << QByteArray();
    QTest::newRow("plain table found after an array table and a sub-table")
        << QByteArray("[[mcp_servers.@NAME@]]\ncommand = \"/a\"\n[mcp_servers.@NAME@.env]\n"
                      "command = \"/b\"\n[mcp_servers.@NAME@]\ncommand = \"@SIDECAR@\"\n")
        << installed << QByteArray("@SIDECAR@");
    QTest::newRow("only the other world")
        << QByteArray("[mcp_servers.@OTHER@]\ncommand = \"@SIDECAR@\"\n") << notInstalled
        << QByteArray();
    QTest::newRow("header with a bracket in a trailing comment")
        << QByteArray("[mcp_servers.@NAME@] # [old]\ncommand = \"@SIDECAR@\"\n") << notInstalled
        << QByteArray();
}

void tst_Integration::codexStates() {
    QFETCH(QByteArray, content);
    QFETCH(IntegrationState, state);
    QFETCH(QByteArray, command);
    const QString path = writeConfig(content);
    QVERIFY(!path.isEmpty());
    const IntegrationStatus status = checkIntegration(path, ClientFormat::CodexToml);
    QCOMPARE(status.state, state);
    QCOMPARE(status.command, QString::fromUtf8(setuptest::filled(command)));
}

void tst_Integration::codexCommandDecoding_data() {
    QTest::addColumn<QByteArray>("value"); // as written after "command ="
    QTest::addColumn<QString>("command");

    QTest::newRow("plain basic string")
        << QByteArray("\"/opt/q/quorvelin-mcp\"") << "/opt/q/quorvelin-mcp";
    QTest::newRow("backslash-t is a tab") << QByteArray("\"a\\tb\"") << "a\tb";
    QTest::newRow("backslash-n is a line feed") << QByteArray("\"a\\nb\"") << "a\nb";
    QTest::newRow("doubled backslash is one")
        << QByteArray("\"C:\\\\Q\\\\q.exe\"") << "C:\\Q\\q.exe";
    QTest::newRow("escaped quote") << QByteArray("\"say \\\"hi\\\"\"") << "say \"hi\"";
    QTest::newRow("other escape stands for itself") << QByteArray("\"\\q\\u0041\"") << "qu0041";
    QTest::newRow("backslash at the very end") << QByteArray("\"abc\\") << "abc\\";
    QTest::newRow("missing closing quote runs to the end")
        << QByteArray("\"/opt/q x") << "/opt/q x";
    QTest::newRow("text after the closing quote") << QByteArray("\"/a\" # note") << "/a";
    QTest::newRow("lone double quote") << QByteArray("\"") << "";
    QTest::newRow("empty basic string") << QByteArray("\"\"") << "";
    QTest::newRow("literal string is verbatim") << QByteArray("'C:\\Q\\t.exe'") << "C:\\Q\\t.exe";
    QTest::newRow("literal string with a trailing comment") << QByteArray("'/a' # x") << "/a";
    QTest::newRow("lone single quote") << QByteArray("'") << "";
    QTest::newRow("literal string never closed") << QByteArray("'/a") << "";
    QTest::newRow("number") << QByteArray("42") << "";
    QTest::newRow("inline table") << QByteArray("{ path = \"/a\" }") << "";
    QTest::newRow("value with = inside") << QByteArray("\"/a=b\"") << "/a=b";
}

void tst_Integration::codexCommandDecoding() {
    QFETCH(QByteArray, value);
    QFETCH(QString, command);
    const QString path = writeConfig("[mcp_servers.@NAME@]\ncommand = " + value + "  \n");
    const IntegrationStatus status = checkIntegration(path, ClientFormat::CodexToml);
    QCOMPARE(status.command, command);
    QCOMPARE(status.state, IntegrationState::Mismatch);
}

void tst_Integration::unreadableWhenThePathIsADirectory() {
    const QString path = dir_.path() + QStringLiteral("/a-directory");
    QVERIFY(setuptest::writeBytes(path + QStringLiteral("/file"), "x"));
    for (const ClientFormat format : {ClientFormat::McpServersJson, ClientFormat::ZedContextServers,
                                      ClientFormat::OpenCodeMcp, ClientFormat::CodexToml}) {
        const IntegrationStatus status = checkIntegration(path, format);
        QCOMPARE(status.state, IntegrationState::Unreadable);
        QCOMPARE(status.command, QString());
    }
}

void tst_Integration::normalizePathRules_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("normalized");

    QTest::newRow("already clean") << "/opt/q/quorvelin-mcp"
                                   << "/opt/q/quorvelin-mcp";
    QTest::newRow("letter case") << "/Applications/Quorvelin.app/X"
                                 << "/applications/quorvelin.app/x";
    QTest::newRow("backslashes") << "C:\\Program Files\\Q\\q.exe"
                                 << "c:/program files/q/q.exe";
    QTest::newRow("mixed separators doubled") << "/a\\\\b//c"
                                              << "/a/b/c";
    QTest::newRow("single-dot segments") << "/a/./b/."
                                         << "/a/b";
    QTest::newRow("dot-dot segments") << "/a/b/../c"
                                      << "/a/c";
    QTest::newRow("trailing separator") << "/a/b/"
                                        << "/a/b";
    QTest::newRow("tilde is not expanded") << "~/q"
                                           << "~/q";
    QTest::newRow("relative stays relative") << "./bin/q"
                                             << "bin/q";
    QTest::newRow("Chinese letters unchanged") << "/用户/Q"
                                               << "/用户/q";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_Integration::normalizePathRules() {
    QFETCH(QString, path);
    QFETCH(QString, normalized);
    QCOMPARE(normalizePath(path), normalized);
}

QTEST_GUILESS_MAIN(tst_Integration)
#include "tst_integration.moc"
