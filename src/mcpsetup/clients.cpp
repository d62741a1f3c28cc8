#include "mcpsetup/clients.h"

#include "mcpsetup/identity.h"
#include "mcpsetup/setup_p.h"

#include <QDir>
#include <QObject>

namespace quorvelin::mcpsetup {

namespace {

QString underHome(const char *suffix) {
    return QDir::homePath() + QLatin1String(suffix);
}

struct ClientRow {
    const char *id;
    const char *displayName;
    QString (*configPath)();
    ClientFormat format;
    bool hasCli;
};

const ClientRow kClients[] = {
    {"claude-code", QT_TRANSLATE_NOOP("QObject", "Claude Code"), claudeCodeConfigPath,
     ClientFormat::McpServersJson, true},
    {"claude-desktop", QT_TRANSLATE_NOOP("QObject", "Claude Desktop"), claudeDesktopConfigPath,
     ClientFormat::McpServersJson, false},
    {"codex", QT_TRANSLATE_NOOP("QObject", "Codex"), codexConfigPath, ClientFormat::CodexToml,
     false},
    {"cursor", QT_TRANSLATE_NOOP("QObject", "Cursor"), cursorConfigPath,
     ClientFormat::McpServersJson, false},
    {"cline", QT_TRANSLATE_NOOP("QObject", "Cline"), clineConfigPath, ClientFormat::McpServersJson,
     false},
    {"zed", QT_TRANSLATE_NOOP("QObject", "Zed Editor"), zedConfigPath,
     ClientFormat::ZedContextServers, false},
    {"opencode", QT_TRANSLATE_NOOP("QObject", "OpenCode"), openCodeConfigPath,
     ClientFormat::OpenCodeMcp, false},
};

} // namespace

QList<McpClient> knownClients() {
    QList<McpClient> clients;
    for (const ClientRow &row : kClients) {
        clients.append(McpClient{QString::fromLatin1(row.id), QObject::tr(row.displayName),
                                 row.configPath(), row.format, row.hasCli,
                                 row.hasCli ? claudeCodeCliCommand() : QString()});
    }
    return clients;
}

QString claudeCodeConfigPath() {
    return isDevBuild() ? underHome("/.claude-dev/.claude.json") : underHome("/.claude.json");
}

QString claudeDesktopConfigPath() {
    return underHome("/Library/Application Support/Claude/claude_desktop_config.json");
}

QString cursorConfigPath() {
    return underHome("/.cursor/mcp.json");
}

QString clineConfigPath() {
    return underHome("/.cline/mcp.json");
}

QString zedConfigPath() {
    return underHome("/.config/zed/settings.json");
}

QString openCodeConfigPath() {
    return underHome("/.config/opencode/opencode.json");
}

QString codexConfigPath() {
    return underHome("/.codex/config.toml");
}

QString claudeCodeCliCommand() {
    QString sidecar = sidecarCommandPath();
    if (sidecar.contains(QLatin1Char(' ')))
        sidecar = QLatin1Char('"') + sidecar + QLatin1Char('"');
    return QStringLiteral("claude mcp add %1 -- %2").arg(serverEntryName(), sidecar);
}

} // namespace quorvelin::mcpsetup
