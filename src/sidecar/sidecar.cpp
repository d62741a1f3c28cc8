#include "sidecar/sidecar.h"

#include "logger/logger.h"
#include "mcpproto/initialize.h"
#include "mcpproto/prompts.h"
#include "mcpproto/protocol.h"
#include "mcpsetup/identity.h"
#include "mcpyield/yieldretry.h"
#include "sidecar/bridge.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quorvelin::sidecar {

namespace {

// Where answers go while a line is handled; standard output in the real process.
QIODevice *answerSink = nullptr;

void writeLine(QByteArray bytes) {
    bytes.append('\n');
    // Write errors are ignored: a client that stopped reading gets nothing either way.
    answerSink->write(bytes);
}

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

// Answers are joined from their members in ascending key order ("error", "id", "jsonrpc",
// "result"), the bytes that serialising the whole envelope object gives, without building and
// copying that object for every message.
void sendResult(const QJsonValue &id, const QJsonObject &result) {
    const QByteArray payload = compactJson(result);
    QByteArray line;
    line.reserve(payload.size() + 64);
    line.append('{');
    appendIdMember(line, id);
    line.append("\"jsonrpc\":\"2.0\",\"result\":").append(payload).append('}');
    writeLine(std::move(line));
}

void sendError(const QJsonValue &id, int code, const QString &message) {
    QByteArray line("{\"error\":");
    line.append(compactJson(
        QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}}));
    line.append(',');
    appendIdMember(line, id);
    line.append("\"jsonrpc\":\"2.0\"}");
    writeLine(std::move(line));
}

QString stringOr(const QJsonValue &value, const QString &fallback) {
    return value.isString() ? value.toString() : fallback;
}

void logClientIdentity(const QJsonObject &params) {
    if (!asCore().isInfoEnabled())
        return;
    const QJsonObject clientInfo = params.value(QStringLiteral("clientInfo")).toObject();
    const QString protocol = params.value(QStringLiteral("protocolVersion")).toString();
    const QStringList capabilities = params.value(QStringLiteral("capabilities")).toObject().keys();
    qCInfo(asCore).noquote()
        << QStringLiteral("MCP sidecar · client=%1 v%2 · protocol=%3 · capabilities=[%4]")
               .arg(stringOr(clientInfo.value(QStringLiteral("name")), QStringLiteral("(unknown)")),
                    stringOr(clientInfo.value(QStringLiteral("version")), QStringLiteral("?")),
                    protocol.isEmpty() ? QStringLiteral("(none)") : protocol,
                    capabilities.join(QStringLiteral(", ")));
}

void handlePing(const QJsonValue &id, const QJsonObject &) {
    sendResult(id, QJsonObject());
}

void handleInitialized(const QJsonValue &, const QJsonObject &) {}

void handleInitialize(const QJsonValue &id, const QJsonObject &params) {
    logClientIdentity(params);
    sendResult(
        id, mcpproto::initializeResult(params.value(QStringLiteral("protocolVersion")).toString()));
}

// The GUI program writes the catalogue; it is read afresh so edits show at once.
QJsonArray toolCatalogue() {
    QFile file(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
               QStringLiteral("/mcp-tools.json"));
    if (!file.open(QIODevice::ReadOnly))
        return QJsonArray();
    return QJsonDocument::fromJson(file.readAll())
        .object()
        .value(QStringLiteral("tools"))
        .toArray();
}

void handleToolsList(const QJsonValue &id, const QJsonObject &) {
    sendResult(id, QJsonObject{{QStringLiteral("tools"), toolCatalogue()}});
}

void handlePromptsList(const QJsonValue &id, const QJsonObject &) {
    sendResult(id, QJsonObject{{QStringLiteral("prompts"), mcpproto::promptsList()}});
}

void handlePromptsGet(const QJsonValue &id, const QJsonObject &params) {
    const QString name = params.value(QStringLiteral("name")).toString();
    bool found = false;
    const QJsonObject prompt =
        mcpproto::promptGet(name, params.value(QStringLiteral("arguments")).toObject(), &found);
    if (found)
        sendResult(id, prompt);
    else
        sendError(id, mcpproto::kInvalidParams, QStringLiteral("Unknown prompt: ") + name);
}

// Whatever the GUI program or the bridge reports travels inside the result, never as an error.
void handleToolsCall(const QJsonValue &id, const QJsonObject &params) {
    const bool retryEnabled = mcpyield::yieldRetryEnabled();
    sendResult(id, mcpyield::callToolWithYieldRetry(
                       params.value(QStringLiteral("name")).toString(),
                       params.value(QStringLiteral("arguments")).toObject(), retryEnabled));
}

// No GUI program means no resources, not a failure.
void handleResourcesList(const QJsonValue &id, const QJsonObject &params) {
    const QJsonObject reply =
        forwardToGuiBridge(QString(), params, QStringLiteral("resources/list"));
    if (reply.contains(QStringLiteral("resources")))
        sendResult(id, reply);
    else
        sendResult(id, QJsonObject{{QStringLiteral("resources"), QJsonArray()}});
}

void handleResourcesRead(const QJsonValue &id, const QJsonObject &params) {
    const QJsonObject reply =
        forwardToGuiBridge(QString(), params, QStringLiteral("resources/read"));
    if (reply.contains(QStringLiteral("__error__")))
        sendError(id, mcpproto::kResourceError,
                  reply.value(QStringLiteral("__error__")).toString());
    else if (reply.contains(QStringLiteral("isError")))
        sendError(id, mcpproto::kResourceError,
                  QStringLiteral("Cannot read resource — Quorvelin 主程序未运行或无响应"));
    else
        sendResult(id, reply);
}

using Handler = void (*)(const QJsonValue &id, const QJsonObject &params);

struct Route {
    const char *method;
    Handler handler;
};

const Route kRoutes[] = {
    {"ping", handlePing},
    {"notifications/initialized", handleInitialized},
    {"initialize", handleInitialize},
    {"tools/list", handleToolsList},
    {"prompts/list", handlePromptsList},
    {"prompts/get", handlePromptsGet},
    {"tools/call", handleToolsCall},
    {"resources/list", handleResourcesList},
    {"resources/read", handleResourcesRead},
};

void dispatch(const QString &method, const QJsonValue &id, const QJsonObject &params) {
    for (const Route &route : kRoutes) {
        if (method == QLatin1String(route.method)) {
            route.handler(id, params);
            return;
        }
    }
    // Notifications (no id) and null ids never get an error back.
    if (!id.isUndefined() && !id.isNull())
        sendError(id, mcpproto::kMethodNotFound, QStringLiteral("Method not found: ") + method);
}

} // namespace

void handleLine(const QByteArray &line, QIODevice &out) {
    if (line.isEmpty())
        return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return;
    const QJsonObject message = document.object();
    answerSink = &out;
    dispatch(message.value(QStringLiteral("method")).toString(),
             message.value(QStringLiteral("id")),
             message.value(QStringLiteral("params")).toObject());
    answerSink = nullptr;
}

void serve(QIODevice &in, QIODevice &out) {
    for (;;) {
        QByteArray line = in.readLine();
        if (line.isEmpty())
            return;
        if (line.endsWith('\n'))
            line.chop(1);
        handleLine(line, out);
    }
}

int run(int argc, char **argv) {
#ifdef SIGPIPE
    // A client that closed its end must not kill us mid-answer; the write just fails.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // No event loop ever runs here. The GLib dispatcher would still wake itself through an
    // eventfd each time a bridge socket registers or drops a notifier: four system calls per call.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    mcpsetup::setApplicationIdentity();
    initLogger();

    // One write(2) per answer line: nothing waits in a buffer between messages.
    QFile out;
    out.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered);

    // stdio's buffer hands over whatever a single read returned, so a line is handled as soon as
    // its "\n" arrives; QFile would wait to fill its whole read buffer from the pipe.
    char *buffer = nullptr;
    size_t capacity = 0;
    for (;;) {
        const auto length = getline(&buffer, &capacity, stdin);
        if (length < 0)
            break;
        qsizetype size = qsizetype(length);
        if (size > 0 && buffer[size - 1] == '\n')
            --size;
        handleLine(QByteArray::fromRawData(buffer, size), out);
    }
    std::free(buffer);
    return 0;
}

} // namespace quorvelin::sidecar
