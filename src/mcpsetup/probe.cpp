#include "mcpsetup/probe.h"

#include "mcpsetup/identity.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QPromise>
#include <QThread>
#include <QTimer>

namespace quorvelin::mcpsetup {

namespace {

constexpr int kStartCapMs = 3000;
constexpr int kWriteWaitMs = 2000;
constexpr int kMinReadWaitMs = 50;
constexpr int kExitWaitMs = 2000;
constexpr int kKillWaitMs = 1000;

QByteArray requestLine(const QJsonObject &request) {
    return QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
}

// initialize and tools/list, sent at once: the sidecar answers in request order.
QByteArray requests() {
    const QJsonObject clientInfo{{QStringLiteral("name"), QStringLiteral("quorvelin-selftest")},
                                 {QStringLiteral("version"), QStringLiteral("1.0")}};
    return requestLine(QJsonObject{
               {QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
               {QStringLiteral("id"), 1},
               {QStringLiteral("method"), QStringLiteral("initialize")},
               {QStringLiteral("params"),
                QJsonObject{{QStringLiteral("protocolVersion"), QStringLiteral("2024-11-05")},
                            {QStringLiteral("capabilities"), QJsonObject()},
                            {QStringLiteral("clientInfo"), clientInfo}}}}) +
           requestLine(QJsonObject{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                                   {QStringLiteral("id"), 2},
                                   {QStringLiteral("method"), QStringLiteral("tools/list")}});
}

struct Answers {
    bool initializeSeen = false;
    bool toolsSeen = false;
    bool complete() const { return initializeSeen && toolsSeen; }
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

QString mark(bool seen) {
    return seen ? QStringLiteral("✓") : QStringLiteral("✗");
}

QString startFailure(const QString &reason) {
    return QObject::tr("无法启动 MCP sidecar 子进程（quorvelin-mcp）：%1").arg(reason);
}

QString earlyExit(const Answers &answers) {
    return QObject::tr("MCP 子进程提前退出或响应异常 — 收到 initialize=%1 tools/list=%2")
        .arg(mark(answers.initializeSeen), mark(answers.toolsSeen));
}

QString timedOut(int budgetMs, const Answers &answers) {
    return QObject::tr("MCP 握手超时（%1ms）— 收到 initialize=%2 tools/list=%3")
        .arg(QString::number(budgetMs), mark(answers.initializeSeen), mark(answers.toolsSeen));
}

// Closing stdin ends a well-behaved sidecar; anything else is killed so no child outlives us.
void shutDown(QProcess &child) {
    child.closeWriteChannel();
    if (child.state() != QProcess::NotRunning && !child.waitForFinished(kExitWaitMs)) {
        child.kill();
        child.waitForFinished(kKillWaitMs);
    }
}

// The same self-test driven by the event loop of the thread that started it. The result is
// reported once the child is gone; a cancel, the application quitting or the job's
// destruction kills the child at once.
class ProbeJob : public QObject {
public:
    explicit ProbeJob(int budgetMs)
        : budgetMs_(budgetMs) {
        promise_.start();
        watcher_.setFuture(promise_.future());
        connect(&watcher_, &QFutureWatcherBase::canceled, this, &ProbeJob::stop);
        if (QCoreApplication *app = QCoreApplication::instance()) {
            connect(app, &QCoreApplication::aboutToQuit, this, &ProbeJob::stop);
            // Destroyed with the application at the latest, which kills the child.
            if (app->thread() == QThread::currentThread())
                setParent(app);
        }
        connect(&child_, &QProcess::started, this, [this] {
            startCap_.stop();
            child_.write(requests());
        });
        connect(&child_, &QProcess::readyReadStandardOutput, this, &ProbeJob::read);
        // A child that never started sends no finished signal.
        connect(&child_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            fail(startFailure(child_.errorString()));
            finish();
        });
        connect(&child_, &QProcess::finished, this, [this] {
            read();
            if (!answers_.complete() && result_.error.isEmpty()) {
                result_.elapsedMs = clock_.elapsed();
                fail(earlyExit(answers_));
            }
            finish();
        });
        startCap_.setSingleShot(true);
        connect(&startCap_, &QTimer::timeout, this, [this] {
            fail(startFailure(child_.errorString()));
            stop();
        });
        budget_.setSingleShot(true);
        connect(&budget_, &QTimer::timeout, this, [this] {
            result_.elapsedMs = clock_.elapsed();
            fail(timedOut(budgetMs_, answers_));
            stop();
        });
        clock_.start();
        child_.setProcessChannelMode(QProcess::SeparateChannels);
        child_.setProgram(sidecarExePath());
        child_.start(QIODevice::ReadWrite);
        startCap_.start(qMin(qMax(budgetMs, 0), kStartCapMs));
        budget_.start(qMax(budgetMs, 0));
    }

    QFuture<ProbeResult> future() { return promise_.future(); }

private:
    void read() {
        if (answers_.complete())
            return;
        buffer_ += child_.readAllStandardOutput();
        readAnswers(buffer_, result_, answers_);
        if (!answers_.complete())
            return;
        result_.elapsedMs = clock_.elapsed();
        result_.ok = true;
        budget_.stop();
        child_.closeWriteChannel();
        QTimer::singleShot(kExitWaitMs, &child_, &QProcess::kill);
    }

    // The first failure is the one reported.
    void fail(const QString &error) {
        if (result_.error.isEmpty() && !result_.ok)
            result_.error = error;
    }

    void stop() {
        startCap_.stop();
        budget_.stop();
        if (child_.state() == QProcess::NotRunning)
            finish();
        else
            child_.kill();
    }

    void finish() {
        if (done_)
            return;
        done_ = true;
        if (!promise_.isCanceled())
            promise_.addResult(result_);
        promise_.finish();
        deleteLater();
    }

    int budgetMs_;
    bool done_ = false;
    QPromise<ProbeResult> promise_;
    QFutureWatcher<ProbeResult> watcher_;
    QProcess child_;
    QElapsedTimer clock_;
    QTimer startCap_;
    QTimer budget_;
    QByteArray buffer_;
    Answers answers_;
    ProbeResult result_;
};

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
        result.error = startFailure(child.errorString());
        // A start that merely took too long may still produce a process.
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            child.waitForFinished(kKillWaitMs);
        }
        return result;
    }

    child.write(requests());
    child.waitForBytesWritten(kWriteWaitMs);

    QByteArray buffer;
    Answers answers;
    while (!answers.complete()) {
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
        if (!ready)
            break;
    }
    result.elapsedMs = clock.elapsed();

    shutDown(child);

    if (answers.complete())
        result.ok = true;
    else
        result.error = clock.elapsed() < budget ? earlyExit(answers) : timedOut(budgetMs, answers);
    return result;
}

QFuture<ProbeResult> probeMcpServerAsync(int budgetMs) {
    return (new ProbeJob(budgetMs))->future();
}

} // namespace quorvelin::mcpsetup
