#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>

#include <functional>

// The sidecar's end of the GUI bridge. Internal to the sidecar; the GUI program serves the
// other end.
namespace quorvelin::sidecar {

// One exchange with the GUI program: request name, arguments and kind in, reply object out.
using BridgeCall = std::function<QJsonObject(const QString &name, const QJsonObject &arguments,
                                             const QString &kind)>;

// One complete exchange with the GUI program on the local socket `mcpproto::socketName()`:
// connect (300 ms), send {"arguments":...,"kind":...,"name":...} as one line ("kind" only when
// not empty), read the first reply line (30 s budget), disconnect. Returns the reply object (the
// empty object when the line is not a JSON object), or a tool-error object: "[need_gui]" when
// nothing accepts the connection, "[timeout]" when no complete line arrives. Blocks; needs no
// event loop.
QJsonObject forwardToGuiBridge(const QString &name, const QJsonObject &arguments,
                               const QString &kind);

// The same exchange for a request line already written (see bridgeRequestLine), its reply left
// as it came, for a caller that relays it.
struct BridgeReply {
    enum class Status { NoGuiProgram, NoLine, Line };
    Status status = Status::NoGuiProgram;
    QByteArray bytes; // what arrived; the reply line is its first lineSize bytes
    qsizetype lineSize = 0;
    QByteArrayView line() const { return QByteArrayView(bytes).first(lineSize); }
};
BridgeReply exchangeWithGuiBridge(const QByteArray &requestLine);

// The request line of an exchange, "\n" included.
QByteArray bridgeRequestLine(const QString &name, const QJsonObject &arguments,
                             const QString &kind);

// What forwardToGuiBridge returns for that reply.
QJsonObject replyObject(const BridgeReply &reply);

} // namespace quorvelin::sidecar
