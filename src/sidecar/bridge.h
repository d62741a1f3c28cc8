#pragma once

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

} // namespace quorvelin::sidecar
