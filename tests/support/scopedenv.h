#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Environment and log control for in-process tests.
namespace quorvelin::testsupport {

// Sets (or, with a null value, removes) an environment variable of this process and restores
// the previous state when it goes out of scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    QByteArray name_;
    QByteArray previous_;
    bool hadValue_ = false;
};

// A private HOME, XDG_DATA_HOME and XDG_CONFIG_HOME for this process, so that QDir::homePath()
// and QStandardPaths never point at the real home. Create it before anything asks for them.
class InProcessHome {
public:
    InProcessHome();
    bool isValid() const { return dir_.isValid(); }
    QString home() const { return dir_.path() + QStringLiteral("/home"); }

private:
    QTemporaryDir dir_;
    ScopedEnv home_;
    ScopedEnv dataHome_;
    ScopedEnv configHome_;
};

// Collects the messages of one logging category while it lives (other messages pass on to the
// handler that was installed before). Not thread-safe; one at a time.
class LogCapture {
public:
    explicit LogCapture(const char *category);
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // "I text", "W text", ... in order of arrival.
    QStringList lines() const;
};

} // namespace quorvelin::testsupport
