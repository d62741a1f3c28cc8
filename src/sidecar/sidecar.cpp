#include "sidecar/sidecar.h"

#include "logger/logger.h"
#include "mcpproto/initialize.h"
#include "mcpproto/prompts.h"
#include "mcpproto/protocol.h"
#include "mcpsetup/identity.h"
#include "mcpyield/yieldretry.h"
#include "sidecar/answer.h"
#include "sidecar/relay.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace quorvelin::sidecar {

namespace {

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

Outcome ping(const QJsonObject &, const BridgeCall &) {
    return QJsonObject();
}

Outcome initialized(const QJsonObject &, const BridgeCall &) {
    return {};
}

Outcome initialize(const QJsonObject &params, const BridgeCall &) {
    logClientIdentity(params);
    return mcpproto::initializeResult(params.value(QStringLiteral("protocolVersion")).toString());
}

// The GUI program writes the catalogue; it is read afresh so edits show at once.
Outcome toolsList(const QJsonObject &, const BridgeCall &) {
    QFile file(mcpsetup::toolCataloguePath());
    QJsonArray tools;
    if (file.open(QIODevice::ReadOnly))
        tools = QJsonDocument::fromJson(file.readAll())
                    .object()
                    .value(QStringLiteral("tools"))
                    .toArray();
    return QJsonObject{{QStringLiteral("tools"), tools}};
}

Outcome promptsList(const QJsonObject &, const BridgeCall &) {
    return QJsonObject{{QStringLiteral("prompts"), mcpproto::promptsList()}};
}

Outcome promptsGet(const QJsonObject &params, const BridgeCall &) {
    const QString name = params.value(QStringLiteral("name")).toString();
    bool found = false;
    QJsonObject prompt =
        mcpproto::promptGet(name, params.value(QStringLiteral("arguments")).toObject(), &found);
    if (!found)
        return RpcError{mcpproto::kInvalidParams, QStringLiteral("Unknown prompt: ") + name};
    return prompt;
}

bool isGuiBridge(const BridgeCall &bridge) {
    using Function = QJsonObject (*)(const QString &, const QJsonObject &, const QString &);
    const Function *function = bridge.target<Function>();
    return function && *function == &forwardToGuiBridge;
}

// A reply of the plain form (see PlainJson) that asks for no retry, relayed as it came: not
// parsed into objects and written again, and its long strings not copied. The same bytes.
std::optional<WrittenResult> relayed(const BridgeReply &reply) {
    if (reply.status != BridgeReply::Status::Line)
        return std::nullopt;
    WrittenResult written;
    written.json.reserve(std::min(reply.lineSize, Pieces::kReferencedBytes) + 16);
    bool isError = true;
    if (!relayReply(reply.line(), &written.json, &isError) || isError)
        return std::nullopt;
    written.json.keep = reply.bytes;
    return written;
}

// A tool call once its first reply is in: sent again while the GUI program defers, then noted.
Outcome afterFirstReply(const QString &name, const QJsonObject &arguments, QJsonObject first,
                        const BridgeCall &bridge) {
    bool answered = false;
    const auto exchange = [&](const QString &toolName, const QJsonObject &toolArguments) {
        if (answered)
            return bridge(toolName, toolArguments, QString());
        answered = true;
        return std::move(first);
    };
    return mcpyield::callToolWithYieldRetry(name, arguments, mcpyield::yieldRetryEnabled(),
                                            exchange);
}

// Whatever the GUI program or the bridge reports travels inside the result, never as an error.
Outcome toolsCall(const QJsonObject &params, const BridgeCall &bridge) {
    const QString name = params.value(QStringLiteral("name")).toString();
    const QJsonObject arguments = params.value(QStringLiteral("arguments")).toObject();
    if (!isGuiBridge(bridge))
        return afterFirstReply(name, arguments, bridge(name, arguments, QString()), bridge);
    const BridgeReply reply = exchangeWithGuiBridge(bridgeRequestLine(name, arguments, QString()));
    if (std::optional<WrittenResult> written = relayed(reply))
        return std::move(*written);
    return afterFirstReply(name, arguments, replyObject(reply), bridge);
}

// No GUI program means no resources, not a failure.
Outcome resourcesList(const QJsonObject &params, const BridgeCall &bridge) {
    QJsonObject reply = bridge(QString(), params, QStringLiteral("resources/list"));
    if (!reply.contains(QStringLiteral("resources")))
        return QJsonObject{{QStringLiteral("resources"), QJsonArray()}};
    return reply;
}

Outcome resourcesRead(const QJsonObject &params, const BridgeCall &bridge) {
    QJsonObject reply = bridge(QString(), params, QStringLiteral("resources/read"));
    if (reply.contains(QStringLiteral("__error__")))
        return RpcError{mcpproto::kResourceError,
                        reply.value(QStringLiteral("__error__")).toString()};
    if (reply.contains(QStringLiteral("isError")))
        return RpcError{mcpproto::kResourceError,
                        QStringLiteral("Cannot read resource — Quorvelin 主程序未运行或无响应")};
    return reply;
}

struct Route {
    const char *method;
    Outcome (*handler)(const QJsonObject &params, const BridgeCall &bridge);
};

const Route kRoutes[] = {
    {"ping", ping},
    {"notifications/initialized", initialized},
    {"initialize", initialize},
    {"tools/list", toolsList},
    {"prompts/list", promptsList},
    {"prompts/get", promptsGet},
    {"tools/call", toolsCall},
    {"resources/list", resourcesList},
    {"resources/read", resourcesRead},
};

// The start of an answer to a message in plain JSON: "{" and its "id" member, if it has one.
Pieces answerHead(const PlainJson &message, qsizetype reserve) {
    Pieces head;
    head.reserve(reserve);
    head.append('{');
    if (const int id = message.member("id"); id >= 0) {
        head.append("\"id\":");
        message.write(id, &head);
        head.append(',');
    }
    head.append("\"jsonrpc\":\"2.0\",\"result\":");
    return head;
}

// The request to the GUI program for a tools/call in plain JSON, written from the message itself;
// empty for any other message, or when "params", "name" or "arguments" is not what the general
// way reads as such.
QByteArray plainToolRequest(const PlainJson &message) {
    const int method = message.member("method");
    const int params = message.member("params");
    if (method < 0 || message.scalar(method) != "\"tools/call\"" || params < 0)
        return QByteArray();
    const int name = message.member("name", params);
    const int arguments = message.member("arguments", params);
    if (name < 0 || !message.scalar(name).startsWith('"') ||
        (arguments >= 0 && message.kind(arguments) != '{'))
        return QByteArray();
    Pieces request;
    request.reserve(message.size() + 16);
    request.append("{\"arguments\":");
    if (arguments < 0)
        request.append("{}");
    else
        message.write(arguments, &request);
    request.append(",\"name\":");
    message.write(name, &request);
    request.append("}\n");
    return request.joined();
}

// Messages in plain JSON that need none of Qt's objects are answered from the line itself: pings,
// the initialized notification, and tool calls whose reply is relayed. The same bytes as the
// general way; nullopt for any other line, which then goes that way.
std::optional<Pieces> quickAnswer(const QByteArray &line, const BridgeCall &bridge) {
    PlainJson message;
    if (!message.parse(line))
        return std::nullopt;
    const int method = message.member("method");
    const QByteArrayView name = method < 0 ? QByteArrayView() : message.scalar(method);
    if (name == "\"notifications/initialized\"")
        return Pieces();
    if (name == "\"ping\"") {
        Pieces answer = answerHead(message, line.size() + 64);
        answer.append("{}}\n");
        return answer;
    }
    if (!isGuiBridge(bridge))
        return std::nullopt;
    const QByteArray request = plainToolRequest(message);
    if (request.isEmpty())
        return std::nullopt;
    const BridgeReply reply = exchangeWithGuiBridge(request);
    if (std::optional<WrittenResult> written = relayed(reply)) {
        Pieces answer = answerHead(message, 256);
        answer.append(written->json);
        answer.append("}\n");
        answer.keep = written->json.keep;
        return answer;
    }
    // The general way from here on, with the reply that came.
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    const QJsonObject params = object.value(QStringLiteral("params")).toObject();
    return answerLine(object.value(QStringLiteral("id")),
                      afterFirstReply(params.value(QStringLiteral("name")).toString(),
                                      params.value(QStringLiteral("arguments")).toObject(),
                                      replyObject(reply), bridge));
}

} // namespace

Pieces generalAnswerTo(const QByteArray &line, const BridgeCall &bridge) {
    if (line.isEmpty())
        return Pieces();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Pieces();
    const QJsonObject message = document.object();
    const QString method = message.value(QStringLiteral("method")).toString();
    const QJsonValue id = message.value(QStringLiteral("id"));
    for (const Route &route : kRoutes) {
        if (method == QLatin1String(route.method))
            return answerLine(
                id, route.handler(message.value(QStringLiteral("params")).toObject(), bridge));
    }
    // Notifications (no id) and null ids never get an error back.
    if (id.isUndefined() || id.isNull())
        return Pieces();
    return answerLine(
        id, RpcError{mcpproto::kMethodNotFound, QStringLiteral("Method not found: ") + method});
}

Pieces answerTo(const QByteArray &line, const BridgeCall &bridge) {
    if (std::optional<Pieces> answer = quickAnswer(line, bridge))
        return std::move(*answer);
    return generalAnswerTo(line, bridge);
}

QByteArray plainToolRequest(const QByteArray &line) {
    PlainJson message;
    return message.parse(line) ? plainToolRequest(message) : QByteArray();
}

QByteArray handleLine(const QByteArray &line, const BridgeCall &bridge) {
    return answerTo(line, bridge).joined();
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

    // One write(2) per answer line: nothing waits in a buffer between messages. Write errors
    // are ignored: a client that stopped reading gets nothing either way.
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
        // A long answer leaves in a few writes straight from the reply it relays.
        answerTo(QByteArray::fromRawData(buffer, size), forwardToGuiBridge)
            .writeTo([&out](QByteArrayView run) { out.write(run.data(), run.size()); });
    }
    std::free(buffer);
    return 0;
}

} // namespace quorvelin::sidecar
