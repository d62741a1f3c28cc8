#pragma once

class QByteArray;
class QIODevice;

// The MCP server loop: one JSON-RPC message per line in, one compact JSON answer per line out.
namespace quorvelin::sidecar {

// Handles one input line (without its "\n") and writes its answer line, if any, to `out`.
// Malformed lines and non-objects are dropped without a word.
void handleLine(const QByteArray &line, QIODevice &out);

// Handles every line of `in` until it ends; a last line without "\n" counts.
void serve(QIODevice &in, QIODevice &out);

// The process: application identity, logger, then the loop over standard input and output.
// Returns the exit status, 0 once standard input has ended.
int run(int argc, char **argv);

} // namespace quorvelin::sidecar
