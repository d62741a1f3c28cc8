#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>

// The GUI program may defer a tool call while the user is at the keyboard or mouse; the sidecar
// then waits and sends the call again, within 8000 ms of waiting per call.
namespace quorvelin::mcpyield {

// Milliseconds to sleep before sending the call again, or 0 for no retry: "isError" true and a
// whole "retry_after_ms" from 1 to 4000 give that value plus 100, as long as `waitedMs` plus the
// sleep stays within 8000.
int yieldRetryDelayMs(const QJsonObject &reply, int waitedMs);

// The reply with a note on the waiting appended to its "content" (created when missing); the
// reply unchanged when nothing was waited.
QJsonObject withAutoWaitNote(QJsonObject reply, int waitedMs);

// The switch: off only when QUORVELIN_MCP_YIELD_RETRY is exactly "0". Read at the first call and
// kept for the life of the process.
bool yieldRetryEnabled();

using Exchange = std::function<QJsonObject(const QString &name, const QJsonObject &arguments)>;
using Sleep = std::function<void(int ms)>;

// A blocking sleep of the whole thread, the real seam.
void blockingSleep(int ms);

// A tools/call result: `exchange` (one tool call to the GUI program), repeated while the GUI
// program defers and the budget allows (only when `retryEnabled`), and the last reply with its
// auto-wait note.
QJsonObject callToolWithYieldRetry(const QString &name, const QJsonObject &arguments,
                                   bool retryEnabled, const Exchange &exchange,
                                   const Sleep &sleep = blockingSleep);

} // namespace quorvelin::mcpyield
