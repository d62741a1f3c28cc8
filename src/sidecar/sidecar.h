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
// The same answer with the line always parsed by Qt; for checking the quick way of plain lines.
Pieces generalAnswerTo(const QByteArray &line, const BridgeCall &bridge);
// The request line that the quick way sends the GUI program for a tools/call line in plain JSON,
// or empty where the quick way does not take the line; for checking it against
// bridgeRequestLine.
QByteArray plainToolRequest(const QByteArray &line);

// The process: application identity, logger, then every line of standard input through
// handleLine, each answer written to standard output at once. Returns 0 once the input ends.
int run(int argc, char **argv);

} // namespace quorvelin::sidecar
