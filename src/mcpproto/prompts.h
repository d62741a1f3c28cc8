#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace quorvelin::mcpproto {

// The five workflow prompts for "prompts/list", in catalogue order.
QJsonArray promptsList();

// The expanded prompt {"description", "messages":[{"content":{...},"role":"user"}]} for
// "prompts/get". An unknown name (matched exactly) gives an empty object and *found = false.
QJsonObject promptGet(const QString &name, const QJsonObject &arguments, bool *found = nullptr);

} // namespace quorvelin::mcpproto
