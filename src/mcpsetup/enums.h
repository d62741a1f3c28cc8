#pragma once

#include <QDebug>
#include <QObject>
#include <QString>

// The library's enumerations, registered with Qt's meta-object system (QMetaEnum, QML, QDebug),
// and their labels for the user.
namespace quorvelin::mcpsetup {
Q_NAMESPACE

// The four configuration dialects of the AI clients.
enum class ClientFormat : qint32 {
    McpServersJson = 0,    // JSON, entries under "mcpServers"
    ZedContextServers = 1, // Zed settings JSON, entries under "context_servers"
    OpenCodeMcp = 2,       // OpenCode JSON, entries under "mcp"
    CodexToml = 3,         // Codex TOML, one [mcp_servers.<name>] table per server
};
Q_ENUM_NS(ClientFormat)

// Whether a client's configuration starts this installation's sidecar.
enum class IntegrationState : qint32 {
    NotInstalled = 0, // no file, empty file, or no entry under this build's name
    Installed = 1,    // the entry's command is this sidecar and exists
    Mismatch = 2,     // the entry's command is empty, unrecognised, elsewhere or missing
    Unreadable = 3,   // the file cannot be opened, or (JSON) is not valid JSON
};
Q_ENUM_NS(IntegrationState)

// How serious one finding of the doctor is.
enum class FindingState : qint32 {
    Ok = 0,      // as it should be
    Warning = 1, // worth knowing; nothing here keeps a client from starting our server
    Problem = 2, // a client cannot load its file, starts no server of ours, or starts another
};
Q_ENUM_NS(FindingState)

// Labels for the user, through the translation lookup: "JSON · mcpServers", "TOML ·
// [mcp_servers.*]", ...; "已接入", "未接入", ...; "正常", "警告", "问题".
QString formatLabel(ClientFormat format);
QString integrationStateLabel(IntegrationState state);
QString findingStateLabel(FindingState state);

// QDebug output of the library's records (every Q_GADGET of this namespace), with their fields
// in order: "InstallResult(ok=true, configPath=\"/x\", ...)".
QDebug debugRecord(QDebug debug, const QMetaObject &meta, const void *record);

template <typename Record, typename = typename Record::QtGadgetHelper>
QDebug operator<<(QDebug debug, const Record &record) {
    return debugRecord(std::move(debug), Record::staticMetaObject, &record);
}

} // namespace quorvelin::mcpsetup
