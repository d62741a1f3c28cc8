#include "mcpsetup/entry.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/setup_internal.h"
#include "setuptest.h"
#include "support/scopedenv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace quorvelin::mcpsetup;
using quorvelin::testsupport::ScopedEnv;

class tst_Entry : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void snippetMatchesGolden_data();
    void snippetMatchesGolden();
    void jsonSnippetIsTheDefaultDialect();
    void extractCommandReadsOnlyTheDialectsShape_data();
    void extractCommandReadsOnlyTheDialectsShape();
    void extractCommandReadsBackEveryBuiltEntry();
};

void tst_Entry::initTestCase() {
    qunsetenv("QUORVELIN_DEV");
}

void tst_Entry::snippetMatchesGolden_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<QByteArray>("devValue");
    QTest::addColumn<QString>("golden");

    const QByteArray off;
    QTest::newRow("mcpServers") << ClientFormat::McpServersJson << off << "mcpservers";
    QTest::newRow("mcpServers, dev world adds env")
        << ClientFormat::McpServersJson << QByteArray("1") << "mcpservers-devworld";
    QTest::newRow("mcpServers, dev world on with 0")
        << ClientFormat::McpServersJson << QByteArray("0") << "mcpservers-devworld";
    QTest::newRow("unknown format value reads as mcpServers")
        << static_cast<ClientFormat>(42) << off << "mcpservers";
    QTest::newRow("Zed") << ClientFormat::ZedContextServers << off << "zed";
    QTest::newRow("Zed, no env in the dev world")
        << ClientFormat::ZedContextServers << QByteArray("1") << "zed";
    QTest::newRow("OpenCode") << ClientFormat::OpenCodeMcp << off << "opencode";
    QTest::newRow("OpenCode, no env in the dev world")
        << ClientFormat::OpenCodeMcp << QByteArray("1") << "opencode";
    QTest::newRow("Codex") << ClientFormat::CodexToml << off << "codex";
    QTest::newRow("Codex, dev world adds the env line")
        << ClientFormat::CodexToml << QByteArray("yes") << "codex-devworld";
}

void tst_Entry::snippetMatchesGolden() {
    QFETCH(ClientFormat, format);
    QFETCH(QByteArray, devValue);
    QFETCH(QString, golden);
    const ScopedEnv dev("QUORVELIN_DEV", devValue);

    // Filled after the variable is set: the dev world always registers "quorvelin-dev".
    const QByteArray expected =
        setuptest::fixture(QStringLiteral("snippets/") + golden + QStringLiteral(".expected"));
    QCOMPARE(buildMcpServerSnippet(format).toUtf8(), expected);
}

void tst_Entry::jsonSnippetIsTheDefaultDialect() {
    QCOMPARE(buildMcpServerJsonSnippet(), buildMcpServerSnippet(ClientFormat::McpServersJson));
    const ScopedEnv dev("QUORVELIN_DEV", "1");
    QCOMPARE(buildMcpServerJsonSnippet(), buildMcpServerSnippet(ClientFormat::McpServersJson));
    QVERIFY(buildMcpServerJsonSnippet().contains(QLatin1String("\"quorvelin-dev\"")));
}

void tst_Entry::extractCommandReadsOnlyTheDialectsShape_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QString>("command");

    const auto mcp = ClientFormat::McpServersJson;
    const auto zed = ClientFormat::ZedContextServers;
    const auto openCode = ClientFormat::OpenCodeMcp;
    QTest::newRow("mcpServers string") << mcp << QByteArray(R"({"command":"/a/b"})") << "/a/b";
    QTest::newRow("mcpServers keeps backslashes as stored")
        << mcp << QByteArray(R"({"command":"C:\\Q\\quorvelin-mcp"})") << "C:\\Q\\quorvelin-mcp";
    QTest::newRow("mcpServers object command")
        << mcp << QByteArray(R"({"command":{"path":"/a"}})") << "";
    QTest::newRow("mcpServers number command") << mcp << QByteArray(R"({"command":7})") << "";
    QTest::newRow("mcpServers no command") << mcp << QByteArray(R"({"args":[]})") << "";
    QTest::newRow("Zed object path") << zed << QByteArray(R"({"command":{"path":"/z"}})") << "/z";
    QTest::newRow("Zed string command") << zed << QByteArray(R"({"command":"/z"})") << "";
    QTest::newRow("Zed path not a string")
        << zed << QByteArray(R"({"command":{"path":["/z"]}})") << "";
    QTest::newRow("OpenCode first element")
        << openCode << QByteArray(R"({"command":["/o","--flag"]})") << "/o";
    QTest::newRow("OpenCode empty array") << openCode << QByteArray(R"({"command":[]})") << "";
    QTest::newRow("OpenCode string command") << openCode << QByteArray(R"({"command":"/o"})") << "";
    QTest::newRow("OpenCode first element not a string")
        << openCode << QByteArray(R"({"command":[1,"/o"]})") << "";
    QTest::newRow("entry is an array") << mcp << QByteArray(R"(["/a"])") << "";
}

void tst_Entry::extractCommandReadsOnlyTheDialectsShape() {
    QFETCH(ClientFormat, format);
    QFETCH(QByteArray, entry);
    QFETCH(QString, command);
    const QJsonDocument document = QJsonDocument::fromJson(entry);
    const QJsonValue value =
        document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    QCOMPARE(extractCommand(format, value), command);
}

void tst_Entry::extractCommandReadsBackEveryBuiltEntry() {
    for (const ClientFormat format : {ClientFormat::McpServersJson, ClientFormat::ZedContextServers,
                                      ClientFormat::OpenCodeMcp}) {
        QCOMPARE(extractCommand(format, buildJsonEntry(format)), sidecarCommandPath());
    }
    // A string where Zed wants an object, an object where mcpServers wants a string.
    QCOMPARE(extractCommand(ClientFormat::ZedContextServers,
                            buildJsonEntry(ClientFormat::McpServersJson)),
             QString());
    QCOMPARE(extractCommand(ClientFormat::McpServersJson,
                            buildJsonEntry(ClientFormat::ZedContextServers)),
             QString());
    QCOMPARE(extractCommand(ClientFormat::McpServersJson, QJsonValue()), QString());
}

QTEST_GUILESS_MAIN(tst_Entry)
#include "tst_entry.moc"
