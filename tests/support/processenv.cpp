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
    // The C locale keeps the texts as written, whatever language the machine speaks.
    env_.remove(QStringLiteral("LANGUAGE"));
    env_.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
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
    return copyExecutable(binDir() + u'/' + bridgeModuleFileName(), dir).isEmpty()
               ? QString()
               : copyExecutable(sidecarPath(), dir);
}

QList<QByteArray> splitLines(const QByteArray &bytes) {
    return bytes.isEmpty() ? QList<QByteArray>()
                           : (bytes.endsWith('\n') ? bytes.chopped(1) : bytes).split('\n');
}

} // namespace quorvelin::testsupport
