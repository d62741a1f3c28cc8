#include "mcpsetup/entry.h"

#include "mcpsetup/identity.h"
#include "mcpsetup/setup_internal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace quorvelin::mcpsetup {

namespace {

struct Container {
    ClientFormat format;
    const char *key;
};

// Formats missing here (the default one and unknown values) keep their servers under "mcpServers".
const Container kContainers[] = {
    {ClientFormat::ZedContextServers, "context_servers"},
    {ClientFormat::OpenCodeMcp, "mcp"},
};

// Backslashes first, so that the ones added before quotes are not doubled again.
QString tomlEscaped(QString text) {
    return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""));
}

} // namespace

QString sidecarCommandPath() {
    return sidecarExePath().replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString containerKey(ClientFormat format) {
    for (const Container &container : kContainers) {
        if (container.format == format)
            return QString::fromLatin1(container.key);
    }
    return QStringLiteral("mcpServers");
}

QJsonObject buildMcpServerEntry() {
    QJsonObject entry{{QStringLiteral("command"), sidecarCommandPath()},
                      {QStringLiteral("args"), QJsonArray()}};
    QJsonObject env;
    if (isDevWorld())
        env.insert(QStringLiteral("QUORVELIN_DEV"), QStringLiteral("1"));
    if (!env.isEmpty())
        entry.insert(QStringLiteral("env"), env);
    return entry;
}

QJsonObject buildJsonEntry(ClientFormat format) {
    const QString command = sidecarCommandPath();
    switch (format) {
    case ClientFormat::ZedContextServers:
        return {{QStringLiteral("command"), QJsonObject{{QStringLiteral("path"), command},
                                                        {QStringLiteral("args"), QJsonArray()}}}};
    case ClientFormat::OpenCodeMcp:
        return {{QStringLiteral("type"), QStringLiteral("local")},
                {QStringLiteral("command"), QJsonArray{command}},
                {QStringLiteral("enabled"), true}};
    default:
        return buildMcpServerEntry();
    }
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
    if (format == ClientFormat::CodexToml)
        return codexOurSectionLines().join(QLatin1Char('\n')) + QLatin1Char('\n');
    const QJsonObject named{{serverEntryName(), buildJsonEntry(format)}};
    const QJsonObject outer{{containerKey(format), named}};
    return QString::fromUtf8(QJsonDocument(outer).toJson(QJsonDocument::Indented));
}

QString buildMcpServerJsonSnippet() {
    return buildMcpServerSnippet(ClientFormat::McpServersJson);
}

QString extractCommand(ClientFormat format, const QJsonValue &entry) {
    const QJsonValue command = entry.toObject().value(QStringLiteral("command"));
    switch (format) {
    case ClientFormat::ZedContextServers:
        return command.toObject().value(QStringLiteral("path")).toString();
    case ClientFormat::OpenCodeMcp:
        return command.toArray().at(0).toString();
    default:
        return command.toString();
    }
}

} // namespace quorvelin::mcpsetup
