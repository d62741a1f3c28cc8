#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Long-running children of process tests: the bridge stand-in and an interactive sidecar. Each
// wait is bounded; a failed start explains itself in error().
namespace quorvelin::testsupport {

// quorvelin-bridge-sim, logging its requests to `logPath`; stopped (SIGTERM) when destroyed.
class BridgeSimProcess {
public:
    explicit BridgeSimProcess(const QString &logPath)
        : logPath_(logPath) {}
    ~BridgeSimProcess();
    BridgeSimProcess(const BridgeSimProcess &) = delete;
    BridgeSimProcess &operator=(const BridgeSimProcess &) = delete;

    // Starts it with `arguments` (plus --log) and waits for its "ready" line.
    bool start(const QProcessEnvironment &environment, const QStringList &arguments);
    // The request lines it received so far, verbatim.
    QList<QByteArray> requests() const;
    // Normal stop: the stand-in closes its server and removes its socket file.
    void stop();
    // SIGKILL: the socket file stays behind, as after a crash.
    void crash();
    QString error() const { return error_; }

private:
    QString logPath_;
    QProcess process_;
    QString error_;
};

// A sidecar spoken to line by line; its standard input is closed when destroyed.
class SidecarSession {
public:
    SidecarSession() = default;
    ~SidecarSession();
    SidecarSession(const SidecarSession &) = delete;
    SidecarSession &operator=(const SidecarSession &) = delete;

    // Starts the sidecar (`program`, by default the one built with the tests) and waits until
    // it answers a ping.
    bool start(const QProcessEnvironment &environment, const QString &program = QString());
    // Closes standard input and waits for the exit; false if it had to be killed.
    bool finish(int *exitCode);
    // Everything still unread on standard output.
    QByteArray unreadOutput();
    void send(const QByteArray &line);
    // The next answer line without its "\n", or empty after `timeoutMs`.
    QByteArray nextAnswer(int timeoutMs = 5000);
    // What the sidecar wrote to standard error so far.
    QString diagnostics();
    QString error() const { return error_; }

private:
    QProcess process_;
    QByteArray stderr_;
    QString error_;
};

} // namespace quorvelin::testsupport
