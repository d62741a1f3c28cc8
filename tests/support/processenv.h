#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quorvelin::testsupport {

// A private HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and TMPDIR for child processes, with the
// product's own variables removed and the C locale, so runs never see the real home, each other
// or a translation.
class IsolatedEnv {
public:
    IsolatedEnv();

    bool isValid() const { return dir_.isValid(); }
    QString root() const { return dir_.path(); }
    QString home() const { return root() + QStringLiteral("/home"); }
    QString dataHome() const { return root() + QStringLiteral("/data"); }
    QString tmp() const { return root() + QStringLiteral("/tmp"); }
    // The application data directory the sidecar uses in the given world.
    QString appDataDir(bool devWorld) const;

    QProcessEnvironment environment() const { return env_; }
    void set(const QString &name, const QString &value) { env_.insert(name, value); }
    void unset(const QString &name) { env_.remove(name); }

private:
    QTemporaryDir dir_;
    QProcessEnvironment env_;
};

struct ProcessRun {
    bool started = false;
    bool finished = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
    qint64 elapsedMs = 0;
};

// Starts the program, writes `input`, closes its standard input and waits for the exit.
// A child still running after `timeoutMs` is killed (finished stays false).
ProcessRun runProcess(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment, const QByteArray &input,
                      int timeoutMs = 10000);

// Waits up to `timeoutMs` for the child to end; a child still running then is killed, so none
// outlives its test. True when it ended by itself.
bool waitOrKill(QProcess &process, int timeoutMs);

// The sidecar built with the tests, and the directory of the project's executables.
QString sidecarPath();
QString binDir();

// Copies an executable into `dir` (created when missing), under `name` when given, and returns
// the copy's path; a copy outside any build directory behaves as the installed product.
QString copyExecutable(const QString &source, const QString &dir, const QString &name = QString());
// The sidecar and the bridge module it loads from its own directory, copied into `dir`; the
// sidecar's new path, or empty on failure.
QString copySidecar(const QString &dir);
// The bridge module's file name on this platform.
QString bridgeModuleFileName();

// The lines of `bytes`, each without its "\n"; a trailing partial line is kept.
QList<QByteArray> splitLines(const QByteArray &bytes);

} // namespace quorvelin::testsupport
