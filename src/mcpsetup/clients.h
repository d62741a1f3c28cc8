#pragma once

#include "enums.h"

#include <QList>
#include <QString>
#include <QtGlobal>

// The seven supported AI clients, the dialect of each one's MCP configuration and where that
// file lives. Nothing here touches the file system.
namespace quorvelin::mcpsetup {

// How install, remove and the integration check treat a client's configuration file.
struct ConfigOptions {
    // JSON dialects: a file with comments or trailing commas (JSON with comments, as Zed writes
    // its settings) is read, and edited in place: only this build's entry, and the container
    // that holds it, change; every other byte stays (comments, blank lines, key order,
    // indentation, line endings, a byte order mark). Without it such a file is refused as
    // invalid JSON. Files that are plain JSON are treated the same either way.
    bool keepComments = false;
    // Install and remove: when the file loads for its client before the change and would not
    // after it (read as the client reads it: strict JSON, JSON with comments for Zed, TOML 1.0
    // for Codex), nothing is written and the message says why and how to fix the file.
    bool checked = false;
};

struct McpClient {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(QString displayName MEMBER displayName)
    Q_PROPERTY(QString configPath MEMBER configPath)
    Q_PROPERTY(quorvelin::mcpsetup::ClientFormat format MEMBER format)
    Q_PROPERTY(bool hasCli MEMBER hasCli)
    Q_PROPERTY(QString cliCommand MEMBER cliCommand)

public:
    QString id;          // stable lower-case machine name, e.g. "claude-code"
    QString displayName; // name shown to the user
    QString configPath;  // absolute path of the configuration file (may not exist)
    ClientFormat format = ClientFormat::McpServersJson;
    bool hasCli = false; // only Claude Code registers servers through its own CLI
    QString cliCommand;  // that registration command line; empty for the other clients
};

// The seven clients in display order, Claude Code first, OpenCode last; built anew per call.
QList<McpClient> knownClients();

// Configuration files, each below QDir::homePath(). Claude Code's differs for a development
// build (~/.claude-dev/.claude.json) so that a development copy never edits the real one.
QString claudeCodeConfigPath();
QString claudeDesktopConfigPath();
QString cursorConfigPath();
QString clineConfigPath();
QString zedConfigPath();
QString openCodeConfigPath();
QString codexConfigPath();

// "claude mcp add <entry name> -- <sidecar>", the sidecar path quoted when it holds a blank.
QString claudeCodeCliCommand();

} // namespace quorvelin::mcpsetup
