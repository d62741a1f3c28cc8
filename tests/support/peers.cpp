#include "support/peers.h"

#include "support/processenv.h"

#include <QElapsedTimer>
#include <QFile>

namespace quorvelin::testsupport {

namespace {

// Reads one "\n"-terminated line from standard output, waiting at most `timeoutMs`.
QByteArray readLine(QProcess &process, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!process.canReadLine() && clock.elapsed() < timeoutMs) {
        if (!process.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - clock.elapsed()))))
            break;
    }
    if (!process.canReadLine())
        return QByteArray();
    QByteArray line = process.readLine();
    line.chop(1);
    return line;
}

} // namespace

BridgeSimProcess::~BridgeSimProcess() {
    stop();
}

bool BridgeSimProcess::start(const QProcessEnvironment &environment, const QStringList &arguments) {
    process_.setProcessEnvironment(environment);
    process_.start(binDir() + QStringLiteral("/quorvelin-bridge-sim"),
                   arguments + QStringList{QStringLiteral("--log"), logPath_});
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("bridge-sim did not start: ") + process_.errorString();
        return false;
    }
    const QByteArray ready = readLine(process_, 5000);
    if (!ready.startsWith("ready")) {
        error_ = QStringLiteral("bridge-sim never said ready; stderr: ") +
                 QString::fromUtf8(process_.readAllStandardError());
        return false;
    }
    return true;
}

QList<QByteArray> BridgeSimProcess::requests() const {
    QFile log(logPath_);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return splitLines(log.readAll());
}

void BridgeSimProcess::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    waitOrKill(process_, 3000);
}

void BridgeSimProcess::crash() {
    process_.kill();
    process_.waitForFinished(1000);
}

SidecarSession::~SidecarSession() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.closeWriteChannel();
    waitOrKill(process_, 3000);
}

bool SidecarSession::start(const QProcessEnvironment &environment, const QString &program) {
    process_.setProcessEnvironment(environment);
    process_.start(program.isEmpty() ? sidecarPath() : program, QStringList());
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("sidecar did not start: ") + process_.errorString();
        return false;
    }
    send(R"({"jsonrpc":"2.0","id":"ready","method":"ping"})");
    if (nextAnswer().isEmpty()) {
        error_ = QStringLiteral("sidecar never answered a ping; stderr: ") + diagnostics();
        return false;
    }
    return true;
}

bool SidecarSession::finish(int *exitCode) {
    process_.closeWriteChannel();
    const bool ended = waitOrKill(process_, 5000);
    *exitCode = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    return ended;
}

QByteArray SidecarSession::unreadOutput() {
    return process_.readAllStandardOutput();
}

void SidecarSession::send(const QByteArray &line) {
    process_.write(line + '\n');
    process_.waitForBytesWritten(1000);
}

QByteArray SidecarSession::nextAnswer(int timeoutMs) {
    return readLine(process_, timeoutMs);
}

QString SidecarSession::diagnostics() {
    stderr_ += process_.readAllStandardError();
    return QString::fromUtf8(stderr_);
}

} // namespace quorvelin::testsupport
