// The yield retry against the case tables in data/: the delay rule, the auto-wait note and the
// loop, whose exchange and sleep are fakes here, so the 8000 ms budget costs no real time.
#include "mcpyield/yieldretry.h"
#include "support/cases.h"

#include <QJsonArray>
#include <QTest>

using namespace quorvelin::mcpyield;

class TestYieldRetry : public QObject {
    Q_OBJECT

private slots:
    void cases_data() { quorvelin::testsupport::addCaseRows(QStringLiteral(YIELD_CASE_DIR)); }

    void cases() {
        QFETCH(QJsonObject, testCase);
        const int waitedMs = testCase.value(QStringLiteral("waitedMs")).toInt();
        if (testCase.contains(QStringLiteral("delayMs"))) {
            QCOMPARE(
                yieldRetryDelayMs(testCase.value(QStringLiteral("reply")).toObject(), waitedMs),
                testCase.value(QStringLiteral("delayMs")).toInt());
        } else if (testCase.contains(QStringLiteral("reply"))) {
            QCOMPARE(withAutoWaitNote(testCase.value(QStringLiteral("reply")).toObject(), waitedMs),
                     testCase.value(QStringLiteral("result")).toObject());
        } else {
            runLoop(testCase);
        }
    }

    // The switch is fixed by its first reading; later changes of the variable do not count.
    void switchIsReadOnce() {
        qputenv("QUORVELIN_MCP_YIELD_RETRY", "0");
        QCOMPARE(yieldRetryEnabled(), false);
        qputenv("QUORVELIN_MCP_YIELD_RETRY", "1");
        QCOMPARE(yieldRetryEnabled(), false);
    }

private:
    void runLoop(const QJsonObject &testCase) {
        const QJsonArray replies = testCase.value(QStringLiteral("replies")).toArray();
        const QString name = QStringLiteral("ocr_shot");
        const QJsonObject arguments{{QStringLiteral("shot_id"), QStringLiteral("截图-1")}};
        int attempts = 0;
        QJsonArray slept;
        const auto exchange = [&](const QString &sentName, const QJsonObject &sentArguments) {
            // Every attempt must send the very same call.
            if (sentName != name || sentArguments != arguments)
                return QJsonObject{{QStringLiteral("wrong call"), true}};
            return replies.at(qMin(attempts++, int(replies.size()) - 1)).toObject();
        };
        const QJsonObject result = callToolWithYieldRetry(
            name, arguments, testCase.value(QStringLiteral("enabled")).toBool(), exchange,
            [&](int ms) { slept.append(ms); });
        QCOMPARE(slept, testCase.value(QStringLiteral("sleeps")).toArray());
        QCOMPARE(attempts, int(slept.size()) + 1);
        QCOMPARE(result, testCase.value(QStringLiteral("result")).toObject());
    }
};

QTEST_GUILESS_MAIN(TestYieldRetry)
#include "tst_yieldretry.moc"
