#include "mcpproto/protocol.h"

#include "mcpsetup/identity.h"

#include <QJsonArray>

namespace quorvelin::mcpproto {

QString protocolVersion() {
    return QStringLiteral("2024-11-05");
}

QString serverVersion() {
    return QStringLiteral(QUORVELIN_SERVER_VERSION);
}

QString socketName() {
    QString name = QStringLiteral("Quorvelin.McpBridge.v1");
    if (mcpsetup::isDevWorld())
        name += QStringLiteral(".dev");
    return name;
}

QJsonObject makeError(const QString &message) {
    const QJsonObject item{{QStringLiteral("type"), QStringLiteral("text")},
                           {QStringLiteral("text"), message}};
    return QJsonObject{{QStringLiteral("content"), QJsonArray{item}},
                       {QStringLiteral("isError"), true}};
}

} // namespace quorvelin::mcpproto
