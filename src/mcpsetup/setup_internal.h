#pragma once

#include "mcpsetup/clients.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// Internal to the setup module; only src/mcpsetup and its tests include this.
namespace quorvelin::mcpsetup {

// --- Entries
// The sidecar path as written into entries: sidecarExePath() with forward slashes.
QString sidecarCommandPath();
// "mcpServers", "context_servers" or "mcp"; any unknown format counts as McpServersJson.
QString containerKey(ClientFormat format);
QJsonObject buildJsonEntry(ClientFormat format);
// The Codex table of this build, without line terminators.
QStringList codexOurSectionLines();
// The command path stored in `entry` in the shape of `format`; empty for any other shape.
QString extractCommand(ClientFormat format, const QJsonValue &entry);

// --- Line-based TOML model: every line kept verbatim, headers recognised
struct TomlSection {
    QStringList path;          // dotted header name, parts trimmed and unquoted
    bool isArrayTable = false; // "[[...]]" header
    QStringList lines;         // the header line and the lines up to the next header
};

struct TomlDoc {
    QString eol = QStringLiteral("\n"); // "\r\n" as soon as the text holds one CR LF
    QStringList preamble;               // lines before the first header
    QList<TomlSection> sections;
};

// Never fails: preamble and section lines joined with eol give back `text` exactly.
TomlDoc tomlParse(const QString &text);
// A plain table [mcp_servers.<name>] or any table below it.
bool isEntrySection(const TomlSection &section, const QString &name);

// --- Configuration files
// Exactly the bytes of QJsonDocument(root).toJson(QJsonDocument::Indented), much faster for big
// files; `sizeHint` is the expected size, the old file's for instance.
QByteArray indentedJson(const QJsonObject &root, qsizetype sizeHint = 0);

// "<path>.bak.yyyyMMdd_HHmmss", with "_1", "_2", ... appended while that name is taken.
QString uniqueBackupPath(const QString &path);

// Something exists at `path` and is at least one byte long.
bool hasContent(const QString &path);

struct ConfigBytes {
    bool present = false; // as hasContent()
    bool ok = false;      // absent, empty, or read
    QByteArray bytes;
};

ConfigBytes readConfigBytes(const QString &path);

struct ConfigReadResult {
    bool present = false; // exists with at least one byte
    bool ok = false;      // absent, empty, or read and parsed
    QJsonObject root;     // the top-level object; empty for anything else
};

ConfigReadResult readConfigObject(const QString &path);

// --- Integration check
// Backslashes to slashes, lexically cleaned, lower case: how two command paths are compared.
QString normalizePath(const QString &path);

} // namespace quorvelin::mcpsetup
