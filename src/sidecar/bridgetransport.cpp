#include "mcpproto/bridgemodule.h"

#include <QElapsedTimer>
#include <QLocalSocket>

#include <algorithm>
#include <type_traits>

namespace {

constexpr int kConnectMs = 300;
constexpr int kWriteMs = 2000;
constexpr int kReplyBudgetMs = 30000;
// A last wait shorter than this would spin without giving the peer a chance.
constexpr int kShortestWaitMs = 50;
// A peer that streams without ever ending its line would otherwise fill memory until the budget
// runs out; a line this long is no reply, so it ends like a missing one.
constexpr qsizetype kLongestReplyBytes = 128 * 1024 * 1024;

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

extern "C" Q_DECL_EXPORT bool quorvelinBridgeExchange(const QString &address,
                                                      const QByteArray &requestLine,
                                                      QByteArray *received) {
    static_assert(std::is_same_v<decltype(&quorvelinBridgeExchange),
                                 quorvelin::mcpproto::BridgeExchangeFunction>);
    QLocalSocket socket;
    socket.connectToServer(address, QIODevice::ReadWrite);
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write(requestLine);
    socket.flush();
    // A failed write shows up as a missing reply.
    socket.waitForBytesWritten(kWriteMs);
    *received = receiveUntilLineFeed(socket);
    socket.disconnectFromServer();
    return true;
}

extern "C" Q_DECL_EXPORT bool quorvelinBridgeConnects(const QString &address, int timeoutMs) {
    static_assert(std::is_same_v<decltype(&quorvelinBridgeConnects),
                                 quorvelin::mcpproto::BridgeConnectsFunction>);
    QLocalSocket socket;
    socket.connectToServer(address, QIODevice::ReadWrite);
    const bool connected = socket.waitForConnected(timeoutMs);
    socket.abort();
    return connected;
}
