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

// Whatever the GUI program or the bridge reports travels inside the result, never as an error.
// A reply of the common form from the real GUI bridge that asks for no retry is relayed as it
// came, without being parsed into objects and written again; it gives the same bytes.
Outcome toolsCall(const QJsonObject &params, const BridgeCall &bridge) {
    const QString name = params.value(QStringLiteral("name")).toString();
    const QJsonObject arguments = params.value(QStringLiteral("arguments")).toObject();
    std::optional<QJsonObject> first;
    if (isGuiBridge(bridge)) {
        const BridgeReply reply = exchangeWithGuiBridge(name, arguments, QString());
        if (reply.status == BridgeReply::Status::Line) {
            WrittenResult written;
            bool isError = true;
            if (relayReply(reply.line(), &written.json, &isError) && !isError) {
                written.json.keep = reply.bytes;
                return written;
            }
        }
        first = replyObject(reply);
    }
    const auto exchange = [&](const QString &toolName, const QJsonObject &toolArguments) {
        if (!first)
            return bridge(toolName, toolArguments, QString());
        QJsonObject reply = std::move(*first);
        first.reset();
        return reply;
    };
    return mcpyield::callToolWithYieldRetry(name, arguments, mcpyield::yieldRetryEnabled(),
                                            exchange);
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

} // namespace

Pieces answerTo(const QByteArray &line, const BridgeCall &bridge) {
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
