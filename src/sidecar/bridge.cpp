#include "sidecar/bridge.h"

#include "mcpproto/protocol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QLocalSocket>

#include <algorithm>

namespace quorvelin::sidecar {

namespace {

constexpr int kConnectMs = 300;
constexpr int kWriteMs = 2000;
constexpr int kReplyBudgetMs = 30000;
// A last wait shorter than this would spin without giving the peer a chance.
constexpr int kShortestWaitMs = 50;
// A peer that streams without ever ending its line would otherwise fill memory until the budget
// runs out; a line this long is no reply, so it ends like a missing one.
constexpr qsizetype kLongestReplyBytes = 128 * 1024 * 1024;

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

// What arrived until the first line feed, the peer's close, the end of the budget or more than
// kLongestReplyBytes without a line feed.
QByteArray receiveUntilLineFeed(QLocalSocket &socket) {
    QByteArray buffer;
    QElapsedTimer clock;
    clock.start();
    // Only the bytes of the last read are searched: a long line costs one pass, not one per read.
    qsizetype searched = 0;
    while (buffer.indexOf('\n', searched) < 0 && clock.elapsed() < kReplyBudgetMs &&
           buffer.size() <= kLongestReplyBytes) {
        searched = buffer.size();
        const int wait = std::max(kShortestWaitMs, int(kReplyBudgetMs - clock.elapsed()));
        // A closed connection ends the wait at once with false, so an early close never waits
        // out the budget.
        if (!socket.waitForReadyRead(wait))
            break;
        buffer.append(socket.readAll());
    }
    return buffer;
}

} // namespace

QJsonObject forwardToGuiBridge(const QString &name, const QJsonObject &arguments,
                               const QString &kind) {
    QLocalSocket socket;
    socket.connectToServer(serverAddress(mcpproto::socketName()), QIODevice::ReadWrite);
    if (!socket.waitForConnected(kConnectMs))
        return mcpproto::makeError(needGuiMessage());

    socket.write(requestLine(name, arguments, kind));
    socket.flush();
    // A failed write shows up as a missing reply.
    socket.waitForBytesWritten(kWriteMs);

    const QByteArray received = receiveUntilLineFeed(socket);
    socket.disconnectFromServer();
    const qsizetype end = received.indexOf('\n');
    if (end < 0)
        return mcpproto::makeError(timeoutMessage());
    // Only the first line counts; broken JSON and non-objects come back as the empty object.
    return QJsonDocument::fromJson(received.left(end)).object();
}

} // namespace quorvelin::sidecar
