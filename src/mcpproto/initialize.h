#pragma once

#include <QJsonObject>
#include <QString>

namespace quorvelin::mcpproto {

// The "initialize" result: the client's revision when it named one (else ours), fixed
// capabilities, serverInfo {name, version serverVersion(), build "dev"|"prod"} and the
// instructions.
QJsonObject initializeResult(const QString &clientProtocolVersion);

} // namespace quorvelin::mcpproto
