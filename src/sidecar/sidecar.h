#pragma once

#include "sidecar/answer.h"
#include "sidecar/bridge.h"

#include <QByteArray>

// The MCP server loop: one JSON-RPC message per line in, one compact JSON answer per line out.
namespace quorvelin::sidecar {

// The answer to one input line (given without its "\n"): one line of compact JSON ending in
// "\n", or an empty array when none is due (notifications, malformed lines, non-objects).
// Tool calls and resource requests go through `bridge`; nothing here writes anywhere.
QByteArray handleLine(const QByteArray &line, const BridgeCall &bridge = forwardToGuiBridge);

// The same answer in pieces, for writing without joining them (see Pieces).
Pieces answerTo(const QByteArray &line, const BridgeCall &bridge);

// The process: application identity, logger, then every line of standard input through
// handleLine, each answer written to standard output at once. Returns 0 once the input ends.
int run(int argc, char **argv);

} // namespace quorvelin::sidecar
