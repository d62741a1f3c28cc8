#include "mcpproto/bridgemodule.h"

#include <QElapsedTimer>
#include <QLocalSocket>

#include <algorithm>
#include <cstring>
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

// What arrived up to and with the first line feed, or until the peer's close, the end of the
// budget or more than kLongestReplyBytes without a line feed; into `buffer`, keeping its capacity.
void receiveUntilLineFeed(QLocalSocket &socket, QByteArray &buffer) {
    buffer.resize(0);
    QElapsedTimer clock;
    clock.start();
    while (buffer.size() <= kLongestReplyBytes) {
        // A closed connection ends the wait at once with false, so an early close never waits
        // out the budget.
        if (socket.bytesAvailable() <= 0 &&
            (clock.elapsed() >= kReplyBudgetMs ||
             !socket.waitForReadyRead(
                 std::max(kShortestWaitMs, int(kReplyBudgetMs - clock.elapsed())))))
            break;
        // Read in place after what came before, the capacity doubling: a reply of many megabytes
        // is copied once out of the socket's buffer, not once more per read into a new array.
        const qsizetype old = buffer.size();
        const qsizetype available = qsizetype(socket.bytesAvailable());
        if (buffer.capacity() - old < available)
            buffer.reserve(std::max(buffer.capacity() * 2, old + available));
        buffer.resize(old + available);
        const qsizetype got =
            qsizetype(std::max<qint64>(0, socket.read(buffer.data() + old, available)));
        // Only the new bytes are searched: a long line costs one pass, not one per read.
        const char *end =
            static_cast<const char *>(std::memchr(buffer.constData() + old, '\n', size_t(got)));
        buffer.resize(end ? end - buffer.constData() + 1 : old + got);
        if (end)
            break;
    }
}

} // namespace

extern "C" Q_DECL_EXPORT bool quorvelinBridgeExchange(const QString &address,
                                                      const QByteArray &requestLine,
                                                      QByteArray *received) {
    static_assert(std::is_same_v<decltype(&quorvelinBridgeExchange),
                                 quorvelin::mcpproto::BridgeExchangeFunction>);
    // A new socket per exchange, destroyed at its end.
    QLocalSocket socket;
    socket.connectToServer(address, QIODevice::ReadWrite);
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write(requestLine);
    socket.flush();
    // A failed write shows up as a missing reply.
    socket.waitForBytesWritten(kWriteMs);
    receiveUntilLineFeed(socket, *received);
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
