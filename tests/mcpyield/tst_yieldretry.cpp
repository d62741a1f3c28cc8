// The yield retry on its own, with a fake exchange and a fake sleep, so that the 8000 ms budget
// costs no real time.
#include "mcpyield/yieldretry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <numeric>

using namespace quorvelin::mcpyield;

namespace {

// `json` with $ran and $refused replaced by the note after `waitedMs` of waiting.
QJsonObject withNote(QByteArray json, int waitedMs) {
    const QByteArray ms = QByteArray::number(waitedMs);
    json.replace("$ran", "{\"type\":\"text\",\"text\":\"NOTE — the user was interacting, so this "
                         "call auto-waited " +
                             ms + " ms before running.\"}");
    json.replace("$refused", "{\"type\":\"text\",\"text\":\"NOTE — already auto-waited " + ms +
                                 " ms for the user to stop and they are still active. Do not retry "
                                 "in a tight loop; keep observing with read-only tools or ask the "
                                 "user.\"}");
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class YieldRetryTest : public QObject {
    Q_OBJECT

private slots:
    // The exchange answers with `replies` in order, the last one repeating. A deferral with a
    // whole retry_after_ms from 1 to 4000 is sent again after 100 ms more, as long as all the
    // waiting stays within 8000 ms.
    void retry_data() {
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QList<int>>("sleeps");
        QTest::addColumn<QByteArray>("expected"); // empty: the last reply as it is
        const auto row = [](const char *name, const char *replies, const QList<int> &sleeps,
                            const char *expected = "") {
            QTest::newRow(name) << QByteArray(replies) << sleeps << QByteArray(expected);
        };
        row("not deferred", R"([{"content":[]}])", {});
        row("3000, then ran", R"([{"isError":true,"retry_after_ms":3000},{"content":["ok"]}])",
            {3100}, R"({"content":["ok",$ran]})");
        row("1, the least", R"([{"isError":true,"retry_after_ms":1},{}])", {101},
            R"({"content":[$ran]})");
        row("4000, the most", R"([{"isError":true,"retry_after_ms":4000},{}])", {4100},
            R"({"content":[$ran]})");
        row("0", R"([{"isError":true,"retry_after_ms":0}])", {});
        row("4001", R"([{"isError":true,"retry_after_ms":4001}])", {});
        row("1500.5", R"([{"isError":true,"retry_after_ms":1500.5}])", {});
        row("a string", R"([{"isError":true,"retry_after_ms":"500"}])", {});
        row("isError false", R"([{"isError":false,"retry_after_ms":500}])", {});
        row("isError absent", R"([{"retry_after_ms":500}])", {});
        row("3900 forever: 8000 in all", R"([{"isError":true,"retry_after_ms":3900}])",
            {4000, 4000}, R"({"isError":true,"retry_after_ms":3900,"content":[$refused]})");
        row("3901 forever: 8002 is too long", R"([{"isError":true,"retry_after_ms":3901}])", {4001},
            R"({"isError":true,"retry_after_ms":3901,"content":[$refused]})");
    }

    void retry() {
        QFETCH(QByteArray, replies);
        QFETCH(QList<int>, sleeps);
        QFETCH(QByteArray, expected);
        const QJsonArray queue = QJsonDocument::fromJson(replies).array();
        const QJsonObject arguments{{QStringLiteral("shot_id"), QStringLiteral("截图-1")}};
        int attempts = 0;
        QList<int> slept;
        // Every attempt must send the very same call; another one is not counted.
        const auto exchange = [&](const QString &name, const QJsonObject &sent) {
            return name == u"ocr_shot" && sent == arguments
                       ? queue.at(qMin(attempts++, int(queue.size()) - 1)).toObject()
                       : QJsonObject();
        };
        const QJsonObject result =
            callToolWithYieldRetry(QStringLiteral("ocr_shot"), arguments, true, exchange,
                                   [&](int ms) { slept.append(ms); });
        QCOMPARE(yieldRetryDelayMs(queue.first().toObject(), 0), sleeps.value(0));
        QCOMPARE(slept, sleeps);
        QCOMPARE(attempts, slept.size() + 1);
        QCOMPARE(result, expected.isEmpty() ? queue.last().toObject()
                                            : withNote(expected, std::accumulate(sleeps.begin(),
                                                                                 sleeps.end(), 0)));
    }

    // A single millisecond of waiting is noted; the switch is fixed by its first reading.
    void noteAndSwitch() {
        const QJsonObject ran = withNote(R"({"content":[$ran]})", 1);
        QCOMPARE(withAutoWaitNote(QJsonObject(), 1), ran);
        QCOMPARE(withAutoWaitNote(QJsonObject(), 0), QJsonObject());
        qputenv("QUORVELIN_MCP_YIELD_RETRY", "0");
        QCOMPARE(yieldRetryEnabled(), false);
        qputenv("QUORVELIN_MCP_YIELD_RETRY", "1");
        QCOMPARE(yieldRetryEnabled(), false);
    }
};

QTEST_GUILESS_MAIN(YieldRetryTest)
#include "tst_yieldretry.moc"
