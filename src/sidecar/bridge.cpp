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

QByteArray requestLine(const QString &name, const QJsonObject &arguments, const QString &kind) {
    QJsonObject request{{QStringLiteral("name"), name}, {QStringLiteral("arguments"), arguments}};
    if (!kind.isEmpty())
        request.insert(QStringLiteral("kind"), kind);
    return QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
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

QJsonObject forwardToGuiBridge(const QString &name, const QJsonObject &arguments,
                               const QString &kind) {
    const mcpproto::BridgeExchangeFunction exchange = exchangeFunction();
    QByteArray received;
    if (!exchange ||
        !exchange(mcpproto::bridgeAddress(), requestLine(name, arguments, kind), &received))
        return mcpproto::makeError(needGuiMessage());
    const qsizetype end = received.indexOf('\n');
    if (end < 0)
        return mcpproto::makeError(timeoutMessage());
    // Only the first line counts; broken JSON and non-objects come back as the empty object.
    return QJsonDocument::fromJson(received.left(end)).object();
}

} // namespace quorvelin::sidecar
