#include "sidecar/bridge.h"

#include "logger/logger.h"
#include "mcpproto/bridgemodule.h"
#include "mcpproto/protocol.h"

#include <QCoreApplication>
#include <QJsonDocument>

namespace quorvelin::sidecar {

namespace {

QString needGuiMessage() {
    return QStringLiteral(
        "[need_gui] Quorvelin 主程序未运行 —— 请先打开 Quorvelin(它会常驻托盘),再重试此操作。");
}

QString timeoutMessage() {
    return QStringLiteral("[timeout] Quorvelin 主程序无响应(工具执行超时)");
}

// Loaded at the first bridge call, not at start: the network stack and the dozen libraries
// it pulls in are most of what a start would otherwise map and relocate. A module that is
// missing or broken is an incomplete installation; every call then finds no GUI program.
mcpproto::BridgeExchangeFunction exchangeFunction() {
    static const mcpproto::BridgeExchangeFunction function = [] {
        const mcpproto::BridgeModule module =
            mcpproto::loadBridgeModule(QCoreApplication::applicationDirPath());
        if (!module.exchange)
            qCCritical(asCore).noquote() << "GUI bridge module not loaded:" << module.error;
        return module.exchange;
    }();
    return function;
}

} // namespace

QByteArray bridgeRequestLine(const QString &name, const QJsonObject &arguments,
                             const QString &kind) {
    QJsonObject request{{QStringLiteral("name"), name}, {QStringLiteral("arguments"), arguments}};
    if (!kind.isEmpty())
        request.insert(QStringLiteral("kind"), kind);
    return QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
}

BridgeReply exchangeWithGuiBridge(const QByteArray &requestLine) {
    // The buffer of the last reply is handed back for the next one, once nothing else holds it:
    // a screenshot after a screenshot then lands in memory that is already mapped, instead of
    // paying a page fault every 4 KiB.
    thread_local QByteArray spare;
    BridgeReply reply;
    const mcpproto::BridgeExchangeFunction exchange = exchangeFunction();
    if (!exchange || !exchange(mcpproto::bridgeAddress(), requestLine, &spare))
        return reply;
    reply.bytes = spare;
    if (!reply.bytes.endsWith('\n')) {
        reply.status = BridgeReply::Status::NoLine;
        return reply;
    }
    reply.status = BridgeReply::Status::Line;
    reply.lineSize = reply.bytes.size() - 1;
    return reply;
}

QJsonObject replyObject(const BridgeReply &reply) {
    switch (reply.status) {
    case BridgeReply::Status::NoGuiProgram:
        return mcpproto::makeError(needGuiMessage());
    case BridgeReply::Status::NoLine:
        return mcpproto::makeError(timeoutMessage());
    case BridgeReply::Status::Line:
        break;
    }
    // Only the first line counts; broken JSON and non-objects come back as the empty object.
    return QJsonDocument::fromJson(QByteArray::fromRawData(reply.bytes.constData(), reply.lineSize))
        .object();
}

QJsonObject forwardToGuiBridge(const QString &name, const QJsonObject &arguments,
                               const QString &kind) {
    return replyObject(exchangeWithGuiBridge(bridgeRequestLine(name, arguments, kind)));
}

} // namespace quorvelin::sidecar
