#include "sidecar/bridge.h"

#include "logger/logger.h"
#include "mcpproto/protocol.h"
#include "sidecar/bridgetransport.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QLibrary>

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

// Where a local server of this name listens. On Unix a bare name means the socket file of that
// name in the resolved temporary directory; resolving it costs several system calls per call, so
// it is resolved again only when TMPDIR changes.
QString serverAddress(const QString &name) {
#ifdef Q_OS_WIN
    return name;
#else
    struct Resolved {
        QByteArray tmpdir;
        QString directory;
    };
    static Resolved resolved{QByteArray(), QString()};
    const QByteArray tmpdir = qgetenv("TMPDIR");
    if (resolved.directory.isEmpty() || tmpdir != resolved.tmpdir)
        resolved = {tmpdir, QDir::tempPath()};
    return resolved.directory + QLatin1Char('/') + name;
#endif
}

// Loaded at the first bridge call, not at start: the network stack and the dozen libraries
// it pulls in are most of what a start would otherwise map and relocate. A module that is
// missing or broken is an incomplete installation; every call then finds no GUI program.
BridgeExchangeFunction exchangeFunction() {
    static const BridgeExchangeFunction function = [] {
        QLibrary module(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                        QLatin1String(kBridgeModuleName));
        const auto resolved =
            reinterpret_cast<BridgeExchangeFunction>(module.resolve(kBridgeExchangeSymbol));
        if (!resolved)
            qCCritical(asCore).noquote() << "GUI bridge module not loaded:" << module.errorString();
        return resolved;
    }();
    return function;
}

} // namespace

QJsonObject forwardToGuiBridge(const QString &name, const QJsonObject &arguments,
                               const QString &kind) {
    const BridgeExchangeFunction exchange = exchangeFunction();
    QByteArray received;
    if (!exchange || !exchange(serverAddress(mcpproto::socketName()),
                               requestLine(name, arguments, kind), &received))
        return mcpproto::makeError(needGuiMessage());
    const qsizetype end = received.indexOf('\n');
    if (end < 0)
        return mcpproto::makeError(timeoutMessage());
    // Only the first line counts; broken JSON and non-objects come back as the empty object.
    return QJsonDocument::fromJson(received.left(end)).object();
}

} // namespace quorvelin::sidecar
