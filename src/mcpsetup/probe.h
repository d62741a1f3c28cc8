#pragma once

#include <QFuture>
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace quorvelin::mcpsetup {

// Outcome of one self-test of the sidecar.
struct ProbeResult {
    Q_GADGET
    Q_PROPERTY(bool ok MEMBER ok)
    Q_PROPERTY(int toolCount MEMBER toolCount)
    Q_PROPERTY(qint64 elapsedMs MEMBER elapsedMs)
    Q_PROPERTY(QString protocolVersion MEMBER protocolVersion)
    Q_PROPERTY(QString serverName MEMBER serverName)
    Q_PROPERTY(QString serverBuild MEMBER serverBuild)
    Q_PROPERTY(QString error MEMBER error)

public:
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

// The same self-test without blocking: it runs on the event loop of the calling thread (the GUI
// thread, say), which must run one, and the future finishes with the result once the child is
// gone. Cancelling the future, quitting the application or destroying it kills the child at
// once; a cancelled future carries no result.
QFuture<ProbeResult> probeMcpServerAsync(int budgetMs);

} // namespace quorvelin::mcpsetup
