#include "driver.h"

#include "mcpsetup/discovery.h"
#include "mcpsetup/probe.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>

namespace quorvelin::testsupport {

namespace {

QJsonObject probe(int budgetMs) {
    const mcpsetup::ProbeResult r = mcpsetup::probeMcpServer(budgetMs);
    return {{QStringLiteral("ok"), r.ok},
            {QStringLiteral("toolCount"), r.toolCount},
            {QStringLiteral("elapsedMs"), r.elapsedMs},
            {QStringLiteral("protocolVersion"), r.protocolVersion},
            {QStringLiteral("serverName"), r.serverName},
            {QStringLiteral("serverBuild"), r.serverBuild},
            {QStringLiteral("error"), r.error}};
}

QJsonArray discover() {
    QJsonArray targets;
    const QList<mcpsetup::ClaudeCodeTarget> found = mcpsetup::discoverClaudeCodeTargets();
    for (const mcpsetup::ClaudeCodeTarget &t : found)
        targets.append(QJsonObject{{QStringLiteral("label"), t.label},
                                   {QStringLiteral("configPath"), t.configPath},
                                   {QStringLiteral("isDefault"), t.isDefault}});
    return targets;
}

} // namespace

bool driverRequested(int argc, char **argv) {
    return argc >= 2 && (qstrcmp(argv[1], "--probe") == 0 || qstrcmp(argv[1], "--discover") == 0);
}

int runDriver(const QStringList &arguments) {
    const QJsonDocument document = arguments.value(1) == QLatin1String("--probe")
                                       ? QJsonDocument(probe(arguments.value(2).toInt()))
                                       : QJsonDocument(discover());
    std::fputs(document.toJson(QJsonDocument::Compact).constData(), stdout);
    return 0;
}

DriverRun drive(const QString &driver, const QStringList &arguments,
                const QProcessEnvironment &environment, int timeoutMs) {
    DriverRun run;
    run.process = runProcess(driver, arguments, environment, QByteArray(), timeoutMs);
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
