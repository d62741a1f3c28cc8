#pragma once

#include "support/processenv.h"

#include <QFile>

namespace quorvelin::testsupport {

// quorvelin-bridge-sim, the GUI program's stand-in, serving in the world and TMPDIR of
// `environment` once ready and logging each request line it receives to `logPath`; stopped with
// SIGTERM when destroyed, so that it removes its socket file.
class BridgeSim {
public:
    BridgeSim(const QProcessEnvironment &environment, const QStringList &arguments,
              const QString &logPath)
        : logPath_(logPath) {
        process_.setProcessEnvironment(environment);
        process_.start(binDir() + QStringLiteral("/quorvelin-bridge-sim"),
                       arguments + QStringList{QStringLiteral("--log"), logPath});
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        ready_ = process_.readLine().startsWith("ready");
    }
    ~BridgeSim() {
        process_.terminate();
        waitOrKill(process_, 3000);
    }

    bool isReady() const { return ready_; }
    QList<QByteArray> requests() const {
        QFile log(logPath_);
        return log.open(QIODevice::ReadOnly) ? splitLines(log.readAll()) : QList<QByteArray>();
    }

private:
    QProcess process_;
    QString logPath_;
    bool ready_ = false;
};

} // namespace quorvelin::testsupport
