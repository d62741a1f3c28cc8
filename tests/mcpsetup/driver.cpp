#include "driver.h"

namespace quorvelin::testsupport {

QString setupProgram() {
    return binDir() + QStringLiteral("/quorvelin-mcp-setup");
}

DriverRun drive(const QString &driver, const QStringList &arguments,
                const QProcessEnvironment &environment, int timeoutMs) {
    DriverRun run;
    run.process = runProcess(driver, arguments + QStringList{QStringLiteral("--json")}, environment,
                             QByteArray(), timeoutMs);
    QJsonParseError error;
    run.output = QJsonDocument::fromJson(run.process.out, &error);
    if (!run.process.started)
        run.failure = QStringLiteral("driver %1 did not start").arg(driver);
    else if (!run.process.finished)
        run.failure = QStringLiteral("driver did not finish within %1 ms").arg(timeoutMs);
    else if (error.error != QJsonParseError::NoError)
        run.failure = QStringLiteral("driver output is not JSON (%1): %2")
                          .arg(error.errorString(), QString::fromUtf8(run.process.out));
    if (!run.failure.isEmpty())
        run.failure += QStringLiteral("\nstderr:\n") + QString::fromUtf8(run.process.err);
    return run;
}

} // namespace quorvelin::testsupport
