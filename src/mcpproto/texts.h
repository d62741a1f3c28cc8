#pragma once

#include <QString>

namespace quorvelin::mcpproto {

// A text compiled in from src/mcpproto/texts, decoded from UTF-8 on every call.
// Empty when no such resource exists.
QString resourceText(const QString &fileName);

} // namespace quorvelin::mcpproto
