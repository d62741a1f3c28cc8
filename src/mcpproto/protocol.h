#pragma once

#include <QJsonObject>
#include <QString>

namespace quorvelin::mcpproto {

// JSON-RPC error codes the sidecar answers with.
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kResourceError = -32002;

// The MCP revision this server speaks: "2024-11-05".
QString protocolVersion();
// The version of this MCP server, the project's version ("0.8.2"); it does not follow the GUI
// program's.
QString serverVersion();
// Local socket of the GUI bridge: "Quorvelin.McpBridge.v1", plus ".dev" in the dev world.
QString socketName();
// A failed tool-call result: {"content":[{"text":message,"type":"text"}],"isError":true}.
QJsonObject makeError(const QString &message);

} // namespace quorvelin::mcpproto
