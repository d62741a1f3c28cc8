#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

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
