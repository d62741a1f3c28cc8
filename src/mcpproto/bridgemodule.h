#pragma once

#include <QByteArray>
#include <QString>

// The socket end of the GUI bridge, built as a module of its own (quorvelin-mcp-bridge) that lies
// beside the sidecar. The sidecar loads it at its first bridge call, so that a start does not pay
// for the network stack; the doctor loads it to ask whether the GUI program answers.
namespace quorvelin::mcpproto {

// Name of the module beside the sidecar's executable, without the platform's suffix.
inline constexpr char kBridgeModuleName[] = "quorvelin-mcp-bridge";

// One exchange on the local socket at `address`: connect (300 ms), write `requestLine`, read
// until the first line feed (30 s budget), disconnect. Returns false when nothing accepted the
// connection; otherwise true, with what arrived up to and with the first line feed in `received`
// (no line feed at the end: no complete line came). The capacity `received` brings is reused.
using BridgeExchangeFunction = bool (*)(const QString &address, const QByteArray &requestLine,
                                        QByteArray *received);
inline constexpr char kBridgeExchangeSymbol[] = "quorvelinBridgeExchange";

// Whether something accepts a connection on the local socket at `address` within `timeoutMs`;
// nothing is written.
using BridgeConnectsFunction = bool (*)(const QString &address, int timeoutMs);
inline constexpr char kBridgeConnectsSymbol[] = "quorvelinBridgeConnects";

struct BridgeModule {
    BridgeExchangeFunction exchange = nullptr;
    BridgeConnectsFunction connects = nullptr;
    QString error; // why the module did not load; empty when both functions were found
};

// The module in `directory`, loaded once per process and directory.
BridgeModule loadBridgeModule(const QString &directory);

// Where the GUI bridge of this world listens: the local socket `socketName()` as a path (on
// Unix, the socket file of that name in the temporary directory).
QString bridgeAddress();

} // namespace quorvelin::mcpproto
