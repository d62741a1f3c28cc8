#include "sidecar/answer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QVariant>

namespace quorvelin::sidecar {

namespace {

QByteArray compactJson(const QJsonObject &object) {
    return object.isEmpty() ? QByteArrayLiteral("{}")
                            : QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// `"id":<id>,` exactly as the serialiser writes the member, or nothing for an undefined id.
// Whole-number ids, nearly all of them, are written as the serialiser writes an integer; every
// other id goes through the serialiser itself.
void appendIdMember(QByteArray &line, const QJsonValue &id) {
    if (id.isUndefined())
        return;
    line.append("\"id\":", 5);
    const QVariant integer = id.isDouble() ? id.toVariant() : QVariant();
    if (integer.typeId() == QMetaType::LongLong) {
        line.append(QByteArray::number(integer.toLongLong()));
    } else {
        const QByteArray element = QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact);
        line.append(element.constData() + 1, element.size() - 2);
    }
    line.append(',');
}

} // namespace

// Joined from the members in ascending key order ("error", "id", "jsonrpc", "result") rather
// than by serialising an envelope object, which would copy the whole result once more.
QByteArray answerLine(const QJsonValue &id, const Outcome &outcome) {
    QByteArray line;
    if (const QJsonObject *result = std::get_if<QJsonObject>(&outcome)) {
        const QByteArray payload = compactJson(*result);
        line.reserve(payload.size() + 64);
        line.append('{');
        appendIdMember(line, id);
        line.append("\"jsonrpc\":\"2.0\",\"result\":").append(payload).append("}\n");
    } else if (const RpcError *error = std::get_if<RpcError>(&outcome)) {
        line.append("{\"error\":");
        line.append(compactJson(QJsonObject{{QStringLiteral("code"), error->code},
                                            {QStringLiteral("message"), error->message}}));
        line.append(',');
        appendIdMember(line, id);
        line.append("\"jsonrpc\":\"2.0\"}\n");
    }
    return line;
}

} // namespace quorvelin::sidecar
