#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <variant>

// Answers of the message loop and their bytes on the wire. Internal to the sidecar.
namespace quorvelin::sidecar {

struct RpcError {
    int code = 0;
    QString message;
};

// What a method answers: nothing (a notification), a result object, or a JSON-RPC error.
using Outcome = std::variant<std::monostate, QJsonObject, RpcError>;

// The answer line: {"id":...,"jsonrpc":"2.0","result":...} or {"error":{"code":...,
// "message":...},"id":...,"jsonrpc":"2.0"} in compact JSON with "\n", byte for byte what Qt's
// serialiser gives for that object; no "id" member when `id` is undefined. Empty for no answer.
QByteArray answerLine(const QJsonValue &id, const Outcome &outcome);

} // namespace quorvelin::sidecar
