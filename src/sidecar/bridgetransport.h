#pragma once

#include <QByteArray>
#include <QString>

// The socket end of the GUI bridge, built as a module of its own (quorvelin-mcp-bridge) that the
// sidecar loads at its first bridge call, so that a start does not pay for the network stack.
namespace quorvelin::sidecar {

// Name of the module beside the sidecar's executable, without the platform's suffix.
inline constexpr char kBridgeModuleName[] = "quorvelin-mcp-bridge";
inline constexpr char kBridgeExchangeSymbol[] = "quorvelinBridgeExchange";

// One exchange on the local socket at `address`: connect (300 ms), write `requestLine`, read
// until the first line feed (30 s budget), disconnect. Returns false when nothing accepted the
// connection; otherwise true, with what arrived (possibly no complete line) in `received`.
using BridgeExchangeFunction = bool (*)(const QString &address, const QByteArray &requestLine,
                                        QByteArray *received);

} // namespace quorvelin::sidecar
