#include "mcpsetup/entry.h"

#include "mcpsetup/identity.h"
#include "mcpsetup/setup_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace quorvelin::mcpsetup {

namespace {

// Backslashes first, so that the ones added before quotes are not doubled again.
QString tomlEscaped(QString text) {
    return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""));
}

QJsonObject zedEntry() {
    return {{QStringLiteral("command"), QJsonObject{{QStringLiteral("path"), sidecarCommandPath()},
                                                    {QStringLiteral("args"), QJsonArray()}}}};
}

QJsonObject openCodeEntry() {
    return {{QStringLiteral("type"), QStringLiteral("local")},
            {QStringLiteral("command"), QJsonArray{sidecarCommandPath()}},
            {QStringLiteral("enabled"), true}};
}

QJsonValue commandMember(const QJsonValue &entry) {
    return entry.toObject().value(QStringLiteral("command"));
}

QString plainCommand(const QJsonValue &entry) {
    return commandMember(entry).toString();
}

QString zedCommand(const QJsonValue &entry) {
    return commandMember(entry).toObject().value(QStringLiteral("path")).toString();
}

QString openCodeCommand(const QJsonValue &entry) {
    return commandMember(entry).toArray().at(0).toString();
}

const Dialect kDialects[] = {
    {ClientFormat::McpServersJson, "mcpServers", buildMcpServerEntry, plainCommand, kJsonFile},
    {ClientFormat::ZedContextServers, "context_servers", zedEntry, zedCommand, kJsonFile},
    {ClientFormat::OpenCodeMcp, "mcp", openCodeEntry, openCodeCommand, kJsonFile},
    {ClientFormat::CodexToml, "", nullptr, nullptr, kTomlFile},
};

} // namespace

const Dialect &dialect(ClientFormat format) {
    for (const Dialect &row : kDialects) {
        if (row.format == format)
            return row;
    }
    return kDialects[0];
}

QString sidecarCommandPath() {
    return sidecarExePath().replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString containerKey(ClientFormat format) {
    return QString::fromLatin1(dialect(format).containerKey);
}

QJsonObject buildMcpServerEntry() {
    QJsonObject entry{{QStringLiteral("command"), sidecarCommandPath()},
                      {QStringLiteral("args"), QJsonArray()}};
    if (isDevWorld())
        entry.insert(QStringLiteral("env"),
                     QJsonObject{{QStringLiteral("QUORVELIN_DEV"), QStringLiteral("1")}});
    return entry;
}

QJsonObject buildJsonEntry(ClientFormat format) {
    const Dialect &row = dialect(format);
    return row.entry ? row.entry() : buildMcpServerEntry();
}

QString extractCommand(ClientFormat format, const QJsonValue &entry) {
    const Dialect &row = dialect(format);
    return row.command ? row.command(entry) : plainCommand(entry);
}

QStringList codexOurSectionLines() {
    static const QRegularExpression bareKey(QStringLiteral("^[A-Za-z0-9_-]+$"));
    const QString name = serverEntryName();
    const QString key = bareKey.match(name).hasMatch()
                            ? name
                            : QLatin1Char('"') + tomlEscaped(name) + QLatin1Char('"');
    QStringList lines{QStringLiteral("[mcp_servers.%1]").arg(key),
                      QStringLiteral("command = \"%1\"").arg(tomlEscaped(sidecarCommandPath())),
                      QStringLiteral("args = []")};
    if (isDevWorld())
        lines.append(QStringLiteral("env = { QUORVELIN_DEV = \"1\" }"));
    return lines;
}

QString buildMcpServerSnippet(ClientFormat format) {
    if (dialect(format).file.toml)
        return codexOurSectionLines().join(QLatin1Char('\n')) + QLatin1Char('\n');
    const QJsonObject named{{serverEntryName(), buildJsonEntry(format)}};
    const QJsonObject outer{{containerKey(format), named}};
    return QString::fromUtf8(QJsonDocument(outer).toJson(QJsonDocument::Indented));
}

QString buildMcpServerJsonSnippet() {
    return buildMcpServerSnippet(ClientFormat::McpServersJson);
}

} // namespace quorvelin::mcpsetup
