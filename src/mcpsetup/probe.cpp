#include "mcpsetup/probe.h"

#include "mcpsetup/identity.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QProcess>

namespace quorvelin::mcpsetup {

namespace {

constexpr int kStartCapMs = 3000;
constexpr int kWriteWaitMs = 2000;
constexpr int kMinReadWaitMs = 50;
constexpr int kExitWaitMs = 2000;
constexpr int kKillWaitMs = 1000;

void writeRequest(QProcess &child, const QJsonObject &request) {
    child.write(QJsonDocument(request).toJson(QJsonDocument::Compact));
    child.write("\n");
}

void writeRequests(QProcess &child) {
    const QJsonObject clientInfo{{QStringLiteral("name"), QStringLiteral("quorvelin-selftest")},
                                 {QStringLiteral("version"), QStringLiteral("1.0")}};
    writeRequest(
        child,
        QJsonObject{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                    {QStringLiteral("id"), 1},
                    {QStringLiteral("method"), QStringLiteral("initialize")},
                    {QStringLiteral("params"),
                     QJsonObject{{QStringLiteral("protocolVersion"), QStringLiteral("2024-11-05")},
                                 {QStringLiteral("capabilities"), QJsonObject()},
                                 {QStringLiteral("clientInfo"), clientInfo}}}});
    // Sent at once: the sidecar answers in request order, and nothing here waits in between.
    writeRequest(child, QJsonObject{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                                    {QStringLiteral("id"), 2},
                                    {QStringLiteral("method"), QStringLiteral("tools/list")}});
}

struct Answers {
    bool initializeSeen = false;
    bool toolsSeen = false;
};

void readAnswer(const QByteArray &line, ProbeResult &result, Answers &answers) {
    const QJsonObject message = QJsonDocument::fromJson(line).object();
    const QJsonObject body = message.value(QStringLiteral("result")).toObject();
    switch (message.value(QStringLiteral("id")).toInt(-1)) {
    case 1: {
        const QJsonObject serverInfo = body.value(QStringLiteral("serverInfo")).toObject();
        result.protocolVersion = body.value(QStringLiteral("protocolVersion")).toString();
        result.serverName = serverInfo.value(QStringLiteral("name")).toString();
        result.serverBuild = serverInfo.value(QStringLiteral("build")).toString();
        answers.initializeSeen = true;
        break;
    }
    case 2:
        result.toolCount = int(body.value(QStringLiteral("tools")).toArray().size());
        answers.toolsSeen = true;
        break;
    default:
        break;
    }
}

// Works through every complete line of `buffer`; a partial last line stays for the next read.
void readAnswers(QByteArray &buffer, ProbeResult &result, Answers &answers) {
    for (qsizetype end = buffer.indexOf('\n'); end >= 0; end = buffer.indexOf('\n')) {
        const QByteArray line = buffer.left(end);
        buffer.remove(0, end + 1);
        if (!line.trimmed().isEmpty())
            readAnswer(line, result, answers);
    }
}

// Closing stdin ends a well-behaved sidecar; anything else is killed so no child outlives us.
void shutDown(QProcess &child) {
    child.closeWriteChannel();
    if (child.state() != QProcess::NotRunning && !child.waitForFinished(kExitWaitMs)) {
        child.kill();
        child.waitForFinished(kKillWaitMs);
    }
}

QString mark(bool seen) {
    return seen ? QStringLiteral("✓") : QStringLiteral("✗");
}

} // namespace

ProbeResult probeMcpServer(int budgetMs) {
    ProbeResult result;
    const qint64 budget = qMax(budgetMs, 0);
    QElapsedTimer clock;
    clock.start();

    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setProgram(sidecarExePath());
    child.start(QIODevice::ReadWrite);
    if (!child.waitForStarted(int(qMin<qint64>(budget, kStartCapMs)))) {
        result.error = QObject::tr("无法启动 MCP sidecar 子进程（quorvelin-mcp）：%1")
                           .arg(child.errorString());
        // A start that merely took too long may still produce a process.
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            child.waitForFinished(kKillWaitMs);
        }
        return result;
    }

    writeRequests(child);
    child.waitForBytesWritten(kWriteWaitMs);

    QByteArray buffer;
    Answers answers;
    bool success = false;
    while (!success) {
        const qint64 elapsed = clock.elapsed();
        if (elapsed >= budget)
            break;
        const bool ready =
            child.waitForReadyRead(int(qMax<qint64>(budget - elapsed, kMinReadWaitMs)));
        // An exit right after the last answer still delivers what was written before it.
        if (!ready && child.bytesAvailable() == 0)
            break;
        buffer += child.readAllStandardOutput();
        readAnswers(buffer, result, answers);
        success = answers.initializeSeen && answers.toolsSeen;
        if (!ready)
            break;
    }
    result.elapsedMs = clock.elapsed();

    shutDown(child);

    if (success) {
        result.ok = true;
    } else if (clock.elapsed() < budget) {
        result.error =
            QObject::tr("MCP 子进程提前退出或响应异常 — 收到 initialize=%1 tools/list=%2")
                .arg(mark(answers.initializeSeen), mark(answers.toolsSeen));
    } else {
        result.error = QObject::tr("MCP 握手超时（%1ms）— 收到 initialize=%2 tools/list=%3")
                           .arg(QString::number(budgetMs), mark(answers.initializeSeen),
                                mark(answers.toolsSeen));
    }
    return result;
}

} // namespace quorvelin::mcpsetup
