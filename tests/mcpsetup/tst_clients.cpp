#include "mcpsetup/clients.h"
#include "mcpsetup/identity.h"
#include "support/scopedenv.h"

#include <QDir>
#include <QTest>

#include <memory>

using namespace quorvelin::mcpsetup;
using quorvelin::testsupport::InProcessHome;
using quorvelin::testsupport::ScopedEnv;

class tst_Clients : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void catalogueRows_data();
    void catalogueRows();
    void claudeCodeFollowsTheBuildKind_data();
    void claudeCodeFollowsTheBuildKind();
    void cliCommandQuotesABlankPathOnce();

private:
    std::unique_ptr<InProcessHome> home_;
};

void tst_Clients::initTestCase() {
    home_ = std::make_unique<InProcessHome>();
    QVERIFY(home_->isValid());
    qunsetenv("QUORVELIN_DEV");
}

void tst_Clients::catalogueRows_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<bool>("hasCli");

    const QString claudeCode = isDevBuild() ? QStringLiteral("/.claude-dev/.claude.json")
                                            : QStringLiteral("/.claude.json");
    QTest::newRow("1 Claude Code")
        << 0 << "claude-code"
        << "Claude Code" << claudeCode << ClientFormat::McpServersJson << true;
    QTest::newRow("2 Claude Desktop, blank kept in the path")
        << 1 << "claude-desktop"
        << "Claude Desktop"
        << "/Library/Application Support/Claude/claude_desktop_config.json"
        << ClientFormat::McpServersJson << false;
    QTest::newRow("3 Codex") << 2 << "codex"
                             << "Codex"
                             << "/.codex/config.toml" << ClientFormat::CodexToml << false;
    QTest::newRow("4 Cursor") << 3 << "cursor"
                              << "Cursor"
                              << "/.cursor/mcp.json" << ClientFormat::McpServersJson << false;
    QTest::newRow("5 Cline") << 4 << "cline"
                             << "Cline"
                             << "/.cline/mcp.json" << ClientFormat::McpServersJson << false;
    QTest::newRow("6 Zed") << 5 << "zed"
                           << "Zed Editor"
                           << "/.config/zed/settings.json" << ClientFormat::ZedContextServers
                           << false;
    QTest::newRow("7 OpenCode") << 6 << "opencode"
                                << "OpenCode"
                                << "/.config/opencode/opencode.json" << ClientFormat::OpenCodeMcp
                                << false;
}

void tst_Clients::catalogueRows() {
    QFETCH(int, index);
    QFETCH(QString, id);
    QFETCH(QString, displayName);
    QFETCH(QString, suffix);
    QFETCH(ClientFormat, format);
    QFETCH(bool, hasCli);

    const QList<McpClient> clients = knownClients();
    QCOMPARE(clients.size(), 7);
    const McpClient &client = clients.at(index);
    QCOMPARE(client.id, id);
    QCOMPARE(client.displayName, displayName);
    QCOMPARE(client.configPath, home_->home() + suffix);
    QCOMPARE(client.format, format);
    QCOMPARE(client.hasCli, hasCli);
    QCOMPARE(client.cliCommand, hasCli ? claudeCodeCliCommand() : QString());
}

void tst_Clients::claudeCodeFollowsTheBuildKind_data() {
    QTest::addColumn<QByteArray>("devValue");
    QTest::addColumn<bool>("devPath");

    // Without the variable the executable's location decides; this binary runs both ways.
    QTest::newRow("variable unset") << QByteArray() << isDevBuild();
    QTest::newRow("variable empty counts as unset") << QByteArray("") << isDevBuild();
    QTest::newRow("variable 1") << QByteArray("1") << true;
    QTest::newRow("variable 0 still switches the dev world on") << QByteArray("0") << true;
}

void tst_Clients::claudeCodeFollowsTheBuildKind() {
    QFETCH(QByteArray, devValue);
    QFETCH(bool, devPath);
    const ScopedEnv dev("QUORVELIN_DEV", devValue);

    const QString path =
        devPath ? QStringLiteral("/.claude-dev/.claude.json") : QStringLiteral("/.claude.json");
    const QString name = devPath ? QStringLiteral("quorvelin-dev") : QStringLiteral("quorvelin");
    QCOMPARE(claudeCodeConfigPath(), home_->home() + path);
    QVERIFY2(claudeCodeCliCommand().startsWith(QStringLiteral("claude mcp add ") + name +
                                               QStringLiteral(" -- ")),
             qPrintable(claudeCodeCliCommand()));
    const McpClient first = knownClients().constFirst();
    QCOMPARE(first.configPath, home_->home() + path);
    QCOMPARE(first.cliCommand, claudeCodeCliCommand());
}

void tst_Clients::cliCommandQuotesABlankPathOnce() {
    // The installed-copy run lies in a directory with a blank, the build tree in one without.
    const QString sidecar = QDir::fromNativeSeparators(sidecarExePath());
    const QString shown = sidecar.contains(QLatin1Char(' '))
                              ? QLatin1Char('"') + sidecar + QLatin1Char('"')
                              : sidecar;
    QCOMPARE(claudeCodeCliCommand(), QStringLiteral("claude mcp add ") + serverEntryName() +
                                         QStringLiteral(" -- ") + shown);
}

QTEST_GUILESS_MAIN(tst_Clients)
#include "tst_clients.moc"
