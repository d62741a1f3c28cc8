#pragma once

#include <QString>
#include <QtGlobal>

namespace quorvelin::mcpsetup {

// Outcome of one self-test of the sidecar.
struct ProbeResult {
    bool ok = false;
    // Elements of "tools" in the tools/list answer; 0 when it did not come.
    int toolCount = 0;
    // From the start of the probe to the end of reading; 0 when the sidecar did not start.
    qint64 elapsedMs = 0;
    QString protocolVersion;
    QString serverName;
    // "dev" or "prod", as the sidecar reports it.
    QString serverBuild;
    // Empty on success; otherwise a user-facing message saying which answers arrived.
    QString error;
};

// Starts the sidecar beside the running executable, sends initialize and tools/list, and waits
// for both answers within `budgetMs`. Blocks the calling thread; needs no event loop. The child
// is closed, waited for or killed before this returns. Fields filled before a failure stay.
ProbeResult probeMcpServer(int budgetMs);

} // namespace quorvelin::mcpsetup
