#include "mcpbridge/bridgeserver_p.h"

#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

namespace quorvelin::mcpbridge {

namespace {

// A flood refills the socket in these steps, so the server itself never holds much.
constexpr qint64 kFloodChunkBytes = 1024 * 1024;

void writeFrom(QPointer<QLocalSocket> socket, QByteArray bytes, qsizetype size, int pauseMs,
               bool close) {
    if (!socket)
        return;
    socket->write(bytes.left(size));
    socket->flush();
    bytes.remove(0, size);
    if (!bytes.isEmpty())
        QTimer::singleShot(pauseMs, socket,
                           [=] { writeFrom(socket, bytes, size, pauseMs, close); });
    else if (close)
        socket->disconnectFromServer();
}

} // namespace

void BridgeFaults::write(const BridgeResponder &responder, const QByteArray &bytes, int pieces,
                         int pauseMs, bool close) {
    if (!responder.isOpen())
        return;
    responder.exchange_->answered = true;
    const qsizetype count =
        qBound(qsizetype(1), qsizetype(pieces), qMax(bytes.size(), qsizetype(1)));
    writeFrom(responder.exchange_->socket, bytes, (bytes.size() + count - 1) / count, pauseMs,
              close);
}

void BridgeFaults::flood(const BridgeResponder &responder, const QByteArray &prefix) {
    if (!responder.isOpen())
        return;
    responder.exchange_->answered = true;
    QLocalSocket *socket = responder.exchange_->socket;
    socket->write(prefix);
    const QByteArray chunk(kFloodChunkBytes, 'x');
    const auto refill = [socket, chunk] {
        while (socket->state() == QLocalSocket::ConnectedState &&
               socket->bytesToWrite() < kFloodChunkBytes)
            socket->write(chunk);
    };
    QObject::connect(socket, &QLocalSocket::bytesWritten, socket, refill);
    refill();
}

} // namespace quorvelin::mcpbridge
