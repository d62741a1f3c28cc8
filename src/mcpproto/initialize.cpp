#include "mcpproto/initialize.h"

#include "mcpproto/protocol.h"
#include "mcpproto/texts.h"
#include "mcpsetup/identity.h"

namespace quorvelin::mcpproto {

namespace {

QJsonObject capabilities() {
    const QJsonObject listChangedOff{{QStringLiteral("listChanged"), false}};
    return QJsonObject{
        {QStringLiteral("tools"), listChangedOff},
        {QStringLiteral("prompts"), listChangedOff},
        {QStringLiteral("resources"), QJsonObject{{QStringLiteral("subscribe"), false},
                                                  {QStringLiteral("listChanged"), false}}}};
}

QString instructions() {
    QString text;
    if (mcpsetup::isDevWorld())
        text = resourceText(QStringLiteral("dev-notice.md"));
    text += resourceText(QStringLiteral("instructions.md"));
    return text;
}

} // namespace

QJsonObject initializeResult(const QString &clientProtocolVersion) {
    const QJsonObject serverInfo{{QStringLiteral("name"), mcpsetup::serverEntryName()},
                                 {QStringLiteral("version"), serverVersion()},
                                 {QStringLiteral("build"), mcpsetup::isDevWorld()
                                                               ? QStringLiteral("dev")
                                                               : QStringLiteral("prod")}};
    return QJsonObject{{QStringLiteral("protocolVersion"), clientProtocolVersion.isEmpty()
                                                               ? protocolVersion()
                                                               : clientProtocolVersion},
                       {QStringLiteral("capabilities"), capabilities()},
                       {QStringLiteral("serverInfo"), serverInfo},
                       {QStringLiteral("instructions"), instructions()}};
}

} // namespace quorvelin::mcpproto
