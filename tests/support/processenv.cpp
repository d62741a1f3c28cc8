#include "support/processenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

namespace quorvelin::testsupport {

IsolatedEnv::IsolatedEnv()
    : env_(QProcessEnvironment::systemEnvironment()) {
    env_.remove(QStringLiteral("QUORVELIN_DEV"));
    env_.remove(QStringLiteral("QUORVELIN_MCP_YIELD_RETRY"));
    for (const QString &dir : {home(), dataHome(), tmp(), home() + QStringLiteral("/.config")})
        QDir().mkpath(dir);
    env_.insert(QStringLiteral("HOME"), home());
    env_.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), home() + QStringLiteral("/.config"));
    env_.insert(QStringLiteral("TMPDIR"), tmp());
}

QString IsolatedEnv::appDataDir(bool devWorld) const {
    return dataHome() + (devWorld ? QStringLiteral("/Brenlow/Quorvelin-Dev")
                                  : QStringLiteral("/Brenlow/Quorvelin"));
}

ProcessRun runProcess(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment, const QByteArray &input,
                      int timeoutMs) {
    ProcessRun run;
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    run.started = process.waitForStarted(5000);
    if (!run.started)
        return run;
    process.write(input);
    process.closeWriteChannel();
    run.finished = waitOrKill(process, timeoutMs);
    run.elapsedMs = clock.elapsed();
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

StreamRun streamProcess(const QString &program, const QStringList &arguments,
                        const QProcessEnvironment &environment, const QByteArray &input,
                        qsizetype expectedLines, int stallMs) {
    StreamRun run;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    run.started = process.waitForStarted(5000);
    if (!run.started)
        return run;
    process.write(input);
    QByteArray out;
    qsizetype lines = 0;
    QElapsedTimer quiet;
    quiet.start();
    while (lines < expectedLines) {
        // The waits also move the pending input into the child's pipe.
        if (!process.waitForReadyRead(1000)) {
            if (process.state() != QProcess::Running) {
                run.stalled = QStringLiteral("the child ended after %1 of %2 lines")
                                  .arg(lines)
                                  .arg(expectedLines);
                break;
            }
            if (quiet.elapsed() > stallMs) {
                run.stalled = QStringLiteral("no output for %1 ms after %2 of %3 lines")
                                  .arg(stallMs)
                                  .arg(lines)
                                  .arg(expectedLines);
                break;
            }
            continue;
        }
        const QByteArray chunk = process.readAllStandardOutput();
        lines += chunk.count('\n');
        out += chunk;
        quiet.restart();
    }
    run.peakRssKb = peakResidentKb(process.processId());
    process.closeWriteChannel();
    run.finished = waitOrKill(process, stallMs);
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    out += process.readAllStandardOutput();
    run.lines = splitLines(out);
    run.err = process.readAllStandardError();
    return run;
}

qint64 peakResidentKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool waitOrKill(QProcess &process, int timeoutMs) {
    if (process.state() == QProcess::NotRunning || process.waitForFinished(timeoutMs))
        return true;
    process.kill();
    process.waitForFinished(2000);
    return false;
}

// CTest names the binaries; a test started by hand finds them beside itself.
QString binDir() {
    const QString dir = qEnvironmentVariable("QUORVELIN_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

QString sidecarPath() {
    const QString path = qEnvironmentVariable("QUORVELIN_MCP_BIN");
    return path.isEmpty() ? binDir() + QStringLiteral("/quorvelin-mcp") : path;
}

QString copyExecutable(const QString &source, const QString &dir, const QString &name) {
    QDir().mkpath(dir);
    const QString target =
        dir + QLatin1Char('/') + (name.isEmpty() ? QFileInfo(source).fileName() : name);
    QFile::remove(target);
    if (!QFile::copy(source, target))
        return QString();
    QFile::setPermissions(target, QFile::permissions(source));
    return target;
}

QString bridgeModuleFileName() {
    return QStringLiteral(QUORVELIN_BRIDGE_MODULE_FILE);
}

QString copySidecar(const QString &dir) {
    if (copyExecutable(binDir() + QLatin1Char('/') + bridgeModuleFileName(), dir).isEmpty())
        return QString();
    return copyExecutable(sidecarPath(), dir);
}

QList<QByteArray> splitLines(const QByteArray &bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace quorvelin::testsupport
