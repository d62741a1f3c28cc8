#include "mcpbridge/bridgeserver.h"

#include "mcpbridge/bridgeserver_p.h"

#include "mcpproto/protocol.h"

#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

namespace quorvelin::mcpbridge {

namespace {

// As long as a sidecar waits to connect: something that answers within it is alive.
constexpr int kLiveProbeMs = 300;

// One connection until its request line is complete.
struct Pending {
    QByteArray buffer;
    qsizetype searched = 0; // bytes already known to hold no line feed
    bool taken = false;     // the request line has been handed on
};

} // namespace

void BridgeResponder::send(const QJsonObject &object) const {
    if (!isOpen())
        return;
    exchange_->answered = true;
    QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    line.append('\n');
    exchange_->socket->write(line);
    // Waits for what is still to be written, then closes.
    exchange_->socket->disconnectFromServer();
}

void BridgeResponder::reply(const QJsonObject &result) const {
    send(result);
}

void BridgeResponder::fail(const QString &message) const {
    if (exchange_ && !exchange_->kind.isEmpty())
        send(QJsonObject{{QStringLiteral("__error__"), message}});
    else
        send(mcpproto::makeError(message));
}

void BridgeResponder::defer(int retryAfterMs, const QString &message) const {
    QJsonObject deferral = mcpproto::makeError(message);
    deferral.insert(QStringLiteral("retry_after_ms"), retryAfterMs);
    send(deferral);
}

bool BridgeResponder::isOpen() const {
    return exchange_ && !exchange_->answered && exchange_->socket &&
           exchange_->socket->state() == QLocalSocket::ConnectedState;
}

BridgeServer::BridgeServer(QObject *parent)
    : QObject(parent)
    , server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &BridgeServer::accept);
}

BridgeServer::~BridgeServer() = default;

void BridgeServer::setHandler(Handler handler) {
    handler_ = std::move(handler);
}

void BridgeServer::setLimits(qint64 maxRequestBytes, int silenceMs) {
    maxRequestBytes_ = maxRequestBytes;
    silenceMs_ = silenceMs;
}

bool BridgeServer::listen(QString *error, const QString &name) {
    const QString socketName = name.isEmpty() ? mcpproto::socketName() : name;
    // Only a socket file that nobody answers on may be cleared; a live bridge is left alone.
    QLocalSocket probe;
    probe.connectToServer(socketName);
    if (probe.waitForConnected(kLiveProbeMs)) {
        if (error)
            *error = QObject::tr("另一个程序已在 %1 上提供 GUI 桥接").arg(socketName);
        return false;
    }
    QLocalServer::removeServer(socketName);
    if (!server_->listen(socketName)) {
        if (error)
            *error = server_->errorString();
        return false;
    }
    return true;
}

void BridgeServer::close() {
    server_->close();
}

bool BridgeServer::isListening() const {
    return server_->isListening();
}

QString BridgeServer::serverName() const {
    return server_->serverName();
}

void BridgeServer::accept() {
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto pending = std::make_shared<Pending>();
        auto *silence = new QTimer(socket);
        silence->setSingleShot(true);
        connect(silence, &QTimer::timeout, socket, [this, socket] {
            emit malformedRequest(QStringLiteral("no request line within %1 ms").arg(silenceMs_));
            socket->abort();
        });
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, pending, silence] {
            if (pending->taken) {
                socket->readAll();
                return;
            }
            pending->buffer.append(socket->readAll());
            const qsizetype end = pending->buffer.indexOf('\n', pending->searched);
            pending->searched = pending->buffer.size();
            if (end < 0 && pending->buffer.size() <= maxRequestBytes_)
                return;
            silence->stop();
            pending->taken = true;
            const QByteArray line = pending->buffer.left(qMax(end, qsizetype(0)));
            pending->buffer.clear();
            const QJsonDocument document = QJsonDocument::fromJson(line);
            if (end < 0 || !document.isObject()) {
                emit malformedRequest(
                    end < 0 ? QStringLiteral("a request line longer than %1 bytes")
                                  .arg(maxRequestBytes_)
                            : QStringLiteral("a request line that is not a JSON object"));
                socket->abort();
                return;
            }
            const QJsonObject request = document.object();
            BridgeResponder responder;
            responder.exchange_ = std::make_shared<BridgeResponder::Exchange>();
            responder.exchange_->socket = socket;
            responder.exchange_->kind = request.value(QStringLiteral("kind")).toString();
            const BridgeRequest parsed{request.value(QStringLiteral("name")).toString(),
                                       request.value(QStringLiteral("arguments")).toObject(),
                                       responder.exchange_->kind, line};
            if (handler_)
                handler_(parsed, responder);
            else
                responder.fail(QObject::tr("Quorvelin 主程序尚未提供任何工具"));
        });
        silence->start(silenceMs_);
    }
}

} // namespace quorvelin::mcpbridge
