#pragma once

#include "mcpbridge/bridgeserver.h"

#include <QByteArray>
#include <QLocalSocket>
#include <QPointer>

// Internal to the bridge's server end; not part of the package.
namespace quorvelin::mcpbridge {

struct BridgeResponder::Exchange {
    QPointer<QLocalSocket> socket;
    QString kind;
    bool answered = false;
};

// For tests of the sidecar: answers the way a broken GUI program does.
struct BridgeFaults {
    // `bytes` as they are, in `pieces` parts `pauseMs` apart; then the connection is closed, or
    // left open until the peer hangs up.
    static void write(const BridgeResponder &responder, const QByteArray &bytes, int pieces = 1,
                      int pauseMs = 0, bool close = true);
    // `prefix`, then bytes without a line feed for as long as the peer stays connected.
    static void flood(const BridgeResponder &responder, const QByteArray &prefix);
};

} // namespace quorvelin::mcpbridge
