#pragma once

#include "clients.h"

#include <QJsonObject>
#include <QString>

// The server entry that starts this build's sidecar, and copyable snippets of it. The entry name
// follows the development-build test, the environment block the dev world.
namespace quorvelin::mcpsetup {

// {"args": [], "command": <sidecar>} plus "env": {"QUORVELIN_DEV": "1"} in the dev world.
QJsonObject buildMcpServerEntry();
// The entry wrapped in its container, as indented JSON, or the Codex table lines; ends in "\n".
QString buildMcpServerSnippet(ClientFormat format);
// buildMcpServerSnippet(ClientFormat::McpServersJson).
QString buildMcpServerJsonSnippet();

} // namespace quorvelin::mcpsetup
