#include "mcpyield/yieldretry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using quorvelin::mcpyield::callToolWithYieldRetry;
using quorvelin::mcpyield::withAutoWaitNote;
using quorvelin::mcpyield::yieldRetryDelayMs;

namespace {

QJsonObject json(const char *text) {
    return QJsonDocument::fromJson(text).object();
}

QJsonObject deferred(const QJsonValue &retryAfterMs) {
    return QJsonObject{{QStringLiteral("isError"), true},
                       {QStringLiteral("retry_after_ms"), retryAfterMs},
                       {QStringLiteral("content"), QJsonArray{}}};
}

QString ranNote(int ms) {
    return QStringLiteral(
               "NOTE — the user was interacting, so this call auto-waited %1 ms before running.")
        .arg(ms);
}

QString stillNote(int ms) {
    return QStringLiteral(
               "NOTE — already auto-waited %1 ms for the user to stop and they are still active. "
               "Do not retry in a tight loop; keep observing with read-only tools or ask the user.")
        .arg(ms);
}

QJsonObject noteItem(const QString &text) {
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                       {QStringLiteral("text"), text}};
}

} // namespace

class TestYieldRetry : public QObject {
    Q_OBJECT

private slots:
    void delay_data() {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<int>("waitedMs");
        QTest::addColumn<int>("expected");

        QTest::newRow("3000 from nothing waited") << deferred(3000) << 0 << 3100;
        QTest::newRow("lower bound 1") << deferred(1) << 0 << 101;
        QTest::newRow("upper bound 4000") << deferred(4000) << 0 << 4100;
        QTest::newRow("4001 is too long") << deferred(4001) << 0 << 0;
        QTest::newRow("zero") << deferred(0) << 0 << 0;
        QTest::newRow("negative") << deferred(-500) << 0 << 0;
        QTest::newRow("non-integral 1500.5") << deferred(1500.5) << 0 << 0;
        QTest::newRow("integral double 1500.0") << deferred(1500.0) << 0 << 1600;
        QTest::newRow("beyond 32 bits") << deferred(1e12) << 0 << 0;
        QTest::newRow("string form of a number") << deferred(QStringLiteral("500")) << 0 << 0;
        QTest::newRow("null") << deferred(QJsonValue::Null) << 0 << 0;
        QTest::newRow("retry_after_ms absent") << json(R"({"isError":true})") << 0 << 0;
        QTest::newRow("isError false")
            << json(R"({"isError":false,"retry_after_ms":500})") << 0 << 0;
        QTest::newRow("isError absent") << json(R"({"retry_after_ms":500})") << 0 << 0;
        QTest::newRow("isError as the string true")
            << json(R"({"isError":"true","retry_after_ms":500})") << 0 << 0;
        QTest::newRow("cap is inclusive: 3900 after 4000") << deferred(3900) << 4000 << 4000;
        QTest::newRow("one past the cap: 3901 after 4000") << deferred(3901) << 4000 << 0;
        QTest::newRow("second 4000 would make 8200") << deferred(4000) << 4100 << 0;
        QTest::newRow("third 3000 would make 9300") << deferred(3000) << 6200 << 0;
        QTest::newRow("smallest sleep still fits at 7899") << deferred(1) << 7899 << 101;
    }

    void delay() {
        QFETCH(QJsonObject, reply);
        QFETCH(int, waitedMs);
        QFETCH(int, expected);
        QCOMPARE(yieldRetryDelayMs(reply, waitedMs), expected);
    }

    void note_data() {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<int>("waitedMs");
        QTest::addColumn<QJsonObject>("expected");

        const QJsonObject ran = json(R"({"content":[{"type":"text","text":"done"}]})");
        QJsonObject ranNoted = ran;
        ranNoted[QStringLiteral("content")] =
            QJsonArray{ran[QStringLiteral("content")].toArray().first(), noteItem(ranNote(600))};
        QTest::newRow("ran after 600 ms: note appended last") << ran << 600 << ranNoted;

        QTest::newRow("nothing waited: unchanged") << deferred(500) << 0 << deferred(500);
        QTest::newRow("negative wait: unchanged") << ran << -1 << ran;

        QJsonObject refused = deferred(3000);
        refused[QStringLiteral("content")] =
            QJsonArray{json(R"({"type":"text","text":"busy"})"), noteItem(stillNote(6200))};
        QJsonObject refusedIn = deferred(3000);
        refusedIn[QStringLiteral("content")] = QJsonArray{json(R"({"type":"text","text":"busy"})")};
        QTest::newRow("still refused: every other member kept") << refusedIn << 6200 << refused;

        QTest::newRow("no content: array of the note alone")
            << json(R"({"isError":false})") << 101
            << QJsonObject{{QStringLiteral("isError"), false},
                           {QStringLiteral("content"), QJsonArray{noteItem(ranNote(101))}}};
        QTest::newRow("content not an array is replaced")
            << json(R"({"content":"text"})") << 8000
            << QJsonObject{{QStringLiteral("content"), QJsonArray{noteItem(ranNote(8000))}}};
        QTest::newRow("isError not a boolean counts as ran")
            << json(R"({"isError":1})") << 300
            << QJsonObject{{QStringLiteral("isError"), 1},
                           {QStringLiteral("content"), QJsonArray{noteItem(ranNote(300))}}};
    }

    void note() {
        QFETCH(QJsonObject, reply);
        QFETCH(int, waitedMs);
        QFETCH(QJsonObject, expected);
        QCOMPARE(withAutoWaitNote(reply, waitedMs), expected);
    }

    void loop_data() {
        QTest::addColumn<QJsonArray>("replies"); // in order; the last one repeats
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QList<int>>("sleeps");
        QTest::addColumn<QString>("note"); // empty: the last reply comes back unchanged

        const QJsonObject ok = json(R"({"content":[{"type":"text","text":"ok"}]})");
        const QJsonObject needGui =
            json(R"({"content":[{"type":"text","text":"x"}],"isError":true})");

        QTest::newRow("3000 forever: two sleeps of 3100")
            << QJsonArray{deferred(3000)} << true << QList<int>{3100, 3100} << stillNote(6200);
        QTest::newRow("3900 forever: exactly 8000")
            << QJsonArray{deferred(3900)} << true << QList<int>{4000, 4000} << stillNote(8000);
        QTest::newRow("4000 forever: one sleep")
            << QJsonArray{deferred(4000)} << true << QList<int>{4100} << stillNote(4100);
        QTest::newRow("500 once, then ran")
            << QJsonArray{deferred(500), ok} << true << QList<int>{600} << ranNote(600);
        QTest::newRow("1 ms forever: bounded at 79 sleeps")
            << QJsonArray{deferred(1)} << true << QList<int>(79, 101) << stillNote(79 * 101);
        QTest::newRow("deferred, then an error without delay")
            << QJsonArray{deferred(200), needGui} << true << QList<int>{300} << stillNote(300);
        QTest::newRow("switch off: first reply unchanged")
            << QJsonArray{deferred(500), ok} << false << QList<int>{} << QString();
        QTest::newRow("not deferred: no sleep")
            << QJsonArray{ok} << true << QList<int>{} << QString();
    }

    void loop() {
        QFETCH(QJsonArray, replies);
        QFETCH(bool, enabled);
        QFETCH(QList<int>, sleeps);
        QFETCH(QString, note);

        const QString name = QStringLiteral("ocr_shot");
        const QJsonObject arguments{{QStringLiteral("shot_id"), QStringLiteral("截图-1")}};
        int attempts = 0;
        QList<int> slept;
        const auto exchange = [&](const QString &sentName, const QJsonObject &sentArguments) {
            // Every attempt must send the very same call.
            if (sentName != name || sentArguments != arguments)
                return QJsonObject{{QStringLiteral("wrong call"), true}};
            return replies.at(qMin(attempts++, int(replies.size()) - 1)).toObject();
        };
        const QJsonObject result = callToolWithYieldRetry(name, arguments, enabled, exchange,
                                                          [&](int ms) { slept.append(ms); });

        QCOMPARE(slept, sleeps);
        QCOMPARE(attempts, int(sleeps.size()) + 1);
        QJsonObject last = replies.at(qMin(attempts - 1, int(replies.size()) - 1)).toObject();
        if (!note.isEmpty()) {
            QJsonArray content = last.value(QStringLiteral("content")).toArray();
            content.append(noteItem(note));
            last.insert(QStringLiteral("content"), content);
        }
        QCOMPARE(result, last);
    }

    // The switch is fixed by its first reading; later changes of the variable do not count.
    void switchIsReadOnce() {
        qputenv("QUORVELIN_MCP_YIELD_RETRY", "0");
        QCOMPARE(quorvelin::mcpyield::yieldRetryEnabled(), false);
        qputenv("QUORVELIN_MCP_YIELD_RETRY", "1");
        QCOMPARE(quorvelin::mcpyield::yieldRetryEnabled(), false);
    }
};

QTEST_GUILESS_MAIN(TestYieldRetry)
#include "tst_yieldretry.moc"
