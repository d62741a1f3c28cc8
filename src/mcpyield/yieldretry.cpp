#include "mcpyield/yieldretry.h"

#include <QJsonArray>
#include <QThread>

#include <cmath>
#include <limits>

namespace quorvelin::mcpyield {

namespace {

constexpr int kSmallestRetryMs = 1;
constexpr int kLargestRetryMs = 4000;
constexpr int kMarginMs = 100;
constexpr int kWaitCapMs = 8000;

// Only a whole number within 32 bits is a delay; 1500.5 or 1e12 count as none.
int wholeMilliseconds(const QJsonValue &value) {
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return 0;
    return int(number);
}

QString noteText(bool stillRefused, int waitedMs) {
    const QString text =
        stillRefused ? QStringLiteral("NOTE — already auto-waited %1 ms for the user to stop and "
                                      "they are still active. Do not retry in a tight loop; keep "
                                      "observing with read-only tools or ask the user.")
                     : QStringLiteral("NOTE — the user was interacting, so this call auto-waited "
                                      "%1 ms before running.");
    return text.arg(waitedMs);
}

} // namespace

int yieldRetryDelayMs(const QJsonObject &reply, int waitedMs) {
    if (!reply.value(QStringLiteral("isError")).toBool(false))
        return 0;
    const QJsonValue requested = reply.value(QStringLiteral("retry_after_ms"));
    if (!requested.isDouble())
        return 0;
    const int delay = wholeMilliseconds(requested);
    if (delay < kSmallestRetryMs || delay > kLargestRetryMs)
        return 0;
    if (qint64(delay) + kMarginMs + waitedMs > kWaitCapMs)
        return 0;
    return delay + kMarginMs;
}

QJsonObject withAutoWaitNote(QJsonObject reply, int waitedMs) {
    if (waitedMs < 1)
        return reply;
    const bool stillRefused = reply.value(QStringLiteral("isError")).toBool(false);
    QJsonArray content = reply.value(QStringLiteral("content")).toArray();
    content.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                               {QStringLiteral("text"), noteText(stillRefused, waitedMs)}});
    reply.insert(QStringLiteral("content"), content);
    return reply;
}

bool yieldRetryEnabled() {
    static const bool enabled = qEnvironmentVariable("QUORVELIN_MCP_YIELD_RETRY") != u"0";
    return enabled;
}

void blockingSleep(int ms) {
    QThread::msleep(ulong(ms));
}

QJsonObject callToolWithYieldRetry(const QString &name, const QJsonObject &arguments,
                                   bool retryEnabled, const Exchange &exchange,
                                   const Sleep &sleep) {
    int waitedMs = 0;
    QJsonObject reply = exchange(name, arguments);
    // Every sleep is at least 101 ms and the total stays within the cap, so this ends.
    while (retryEnabled) {
        const int delay = yieldRetryDelayMs(reply, waitedMs);
        if (delay < 1)
            break;
        sleep(delay);
        waitedMs += delay;
        reply = exchange(name, arguments);
    }
    return withAutoWaitNote(reply, waitedMs);
}

} // namespace quorvelin::mcpyield
