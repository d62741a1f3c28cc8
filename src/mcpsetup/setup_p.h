#pragma once

#include "mcpsetup/clients.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// Internal to the setup module; not part of the package.
namespace quorvelin::mcpsetup {

// --- Entries
// The sidecar path as written into entries: sidecarExePath() with forward slashes.
QString sidecarCommandPath();
// The Codex table of this build, without line terminators.
QStringList codexOurSectionLines();

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

// --- Dialects: how each client's file keeps its servers

// A change of a configuration file's content, worked out without touching the file.
struct ConfigEdit {
    QString parseError;      // the old content is not valid JSON (JSON files only): why
    bool changed = false;    // the file is to be rewritten with `bytes`
    QByteArray bytes;        // the new content
    bool replaced = false;   // install: this build's entry was there; remove: it was taken out
    qint32 staleRemoved = 0; // install into JSON: other-world entries dropped as stale
};

// This build's entry in a file's content.
struct EntryLookup {
    bool parsed = true; // false: the content is not valid JSON (JSON files only)
    bool found = false;
    QString command; // the command as written; empty when absent or of another shape
};

struct Dialect;

// The two kinds of configuration file: JSON documents, rewritten whole, and Codex TOML, edited
// through the line model.
struct FileModel {
    ConfigEdit (*install)(const Dialect &dialect, const QByteArray &old);
    ConfigEdit (*remove)(const Dialect &dialect, const QByteArray &old);
    EntryLookup (*lookup)(const Dialect &dialect, const QByteArray &content);
    bool toml;
};

extern const FileModel kJsonFile;
extern const FileModel kTomlFile;
// JSON with comments, edited in place; for JSON dialects when comments are to be kept.
extern const FileModel kJsoncFile;

struct Dialect {
    ClientFormat format;
    const char *containerKey;                    // JSON: the member holding the servers by name
    QJsonObject (*entry)();                      // JSON: this build's entry
    QString (*command)(const QJsonValue &entry); // JSON: the command an entry starts, or empty
    const FileModel &file;
};

// The row of `format`; values outside the enumeration count as McpServersJson.
const Dialect &dialect(ClientFormat format);

// "mcpServers", "context_servers" or "mcp"; empty for Codex.
QString containerKey(ClientFormat format);
QJsonObject buildJsonEntry(ClientFormat format);
// The command path stored in `entry` in the shape of `format`; empty for any other shape.
QString extractCommand(ClientFormat format, const QJsonValue &entry);

// --- What the client itself makes of a file

struct ClientLoad {
    bool loads = true;
    int line = 0;   // where its reader stops, from 1; 0 when it loads
    QString reason; // the reader's own words
};

// Read as the client reads it: strict JSON, JSON with comments for Zed, TOML 1.0 for Codex.
// Empty content loads (the client treats it as no configuration).
ClientLoad clientLoad(const Dialect &dialect, const QByteArray &content);

// Codex: the table mcp_servers.<name> as a TOML reader sees it, whatever its spelling.
struct TomlEntry {
    bool present = false;
    bool inlineTable = false; // written as name = { ... }
    int line = 0;             // where it is defined, from 1
    QString command;          // its "command" string; empty when absent or not a string
};

// Nothing present when the text is not TOML.
TomlEntry tomlEntry(const QByteArray &content, const QString &name);

// --- Configuration files
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

// Replaces the file's content through a temporary file renamed over it, keeping a symbolic link
// a link; false, with the old content in place, when anything fails or the file is read-only.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);

// --- Integration check
// Backslashes to slashes, lexically cleaned, lower case: how two command paths are compared.
QString normalizePath(const QString &path);

} // namespace quorvelin::mcpsetup
