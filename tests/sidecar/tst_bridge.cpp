#include "sidecar/tst_bridge.h"

#include "support/peers.h"
#include "support/processenv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace quorvelin::testsupport;

namespace {

const QByteArray kNeedGui =
    R"({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":"[need_gui] Quorvelin 主程序未运行 —— 请先打开 Quorvelin(它会常驻托盘),再重试此操作。","type":"text"}],"isError":true}})";
const QByteArray kTimeout =
    R"json({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":"[timeout] Quorvelin 主程序无响应(工具执行超时)","type":"text"}],"isError":true}})json";
const QByteArray kUnreadable =
    R"({"error":{"code":-32002,"message":"Cannot read resource — Quorvelin 主程序未运行或无响应"},"id":1,"jsonrpc":"2.0"})";

QByteArray call(const char *name, const char *arguments = "{}") {
    return QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":")") +
           name + R"(","arguments":)" + arguments + "}}";
}

QByteArray echoed(const char *text) {
    return QByteArray(R"({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":")") + text +
           R"(","type":"text"}]}})";
}

QByteArray deferral(int ms) {
    return QStringLiteral(
               R"({"text":"deferred: the user is active, retry in %1 ms","type":"text"})")
        .arg(ms)
        .toUtf8();
}

QByteArray noteItem(const QString &text, int ms) {
    return QStringLiteral(R"({"text":"%1","type":"text"})").arg(text.arg(ms)).toUtf8();
}

const QString kRanNote = QStringLiteral(
    "NOTE — the user was interacting, so this call auto-waited %1 ms before running.");
const QString kStillNote = QStringLiteral(
    "NOTE — already auto-waited %1 ms for the user to stop and they are still active. Do not retry "
    "in a tight loop; keep observing with read-only tools or ask the user.");

QByteArray resultLine(const QByteArray &result) {
    return R"({"id":1,"jsonrpc":"2.0","result":)" + result + "}";
}

QString logPath(const IsolatedEnv &env) {
    return env.root() + QStringLiteral("/bridge-requests.log");
}

} // namespace

// Nothing listens, or only a stale socket file is left: answers come at once.
void TestBridge::withoutGui_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("staleSocket");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray list = R"({"jsonrpc":"2.0","id":1,"method":"resources/list"})";
    const QByteArray read =
        R"({"jsonrpc":"2.0","id":1,"method":"resources/read","params":{"uri":"quorvelin://shots/recent"}})";
    QTest::newRow("tools/call: need_gui") << call("ocr_shot") << false << kNeedGui;
    QTest::newRow("tools/call after a crash") << call("ocr_shot") << true << kNeedGui;
    QTest::newRow("resources/list: empty list")
        << list << false << resultLine(R"({"resources":[]})");
    QTest::newRow("resources/read: -32002") << read << false << kUnreadable;
    QTest::newRow("resources/read after a crash") << read << true << kUnreadable;
}

void TestBridge::withoutGui() {
    QFETCH(QByteArray, request);
    QFETCH(bool, staleSocket);
    QFETCH(QByteArray, expected);

    IsolatedEnv env;
    if (staleSocket) {
        BridgeSimProcess crashed(logPath(env));
        QVERIFY2(crashed.start(env.environment(), {}), qPrintable(crashed.error()));
        crashed.crash();
        QVERIFY2(QFile::exists(env.tmp() + QStringLiteral("/Quorvelin.McpBridge.v1")),
                 "a killed stand-in should leave its socket file behind");
    }
    SidecarSession sidecar;
    QVERIFY2(sidecar.start(env.environment()), qPrintable(sidecar.error()));
    qint64 elapsed = 0;
    QCOMPARE(sidecar.ask(request, 5000, &elapsed), expected);
    QVERIFY2(elapsed < 300, qPrintable(QStringLiteral("answered after %1 ms").arg(elapsed)));
}

void TestBridge::replies_data() {
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray read =
        R"({"jsonrpc":"2.0","id":1,"method":"resources/read","params":{"uri":"quorvelin://settings/hotkeys"}})";
    const QByteArray list = R"({"jsonrpc":"2.0","id":1,"method":"resources/list"})";

    QTest::newRow("echo") << "reply" << call("ocr_shot", R"({"shot_id":"截图 1"})")
                          << echoed(R"(ran ocr_shot {\"shot_id\":\"截图 1\"})");
    QTest::newRow("reply in pieces is joined")
        << "pieces:pieces=4,pause_ms=80" << call("x") << echoed("ran x {}");
    QTest::newRow("two lines: only the first counts")
        << "two-lines" << call("x") << echoed("ran x {}");
    QTest::newRow("broken JSON: empty result") << "broken" << call("x") << resultLine("{}");
    QTest::newRow("array: empty result") << "array" << call("x") << resultLine("{}");
    QTest::newRow("early close: timeout at once") << "close-early" << call("x") << kTimeout;
    QTest::newRow("__error__ means nothing to tools/call")
        << R"({"mode":"fixed","reply":{"__error__":"no"}})" << call("x")
        << resultLine(R"({"__error__":"no"})");

    QTest::newRow("resources/list passed on")
        << "reply" << list
        << resultLine(
               R"({"resources":[{"mimeType":"text/plain","name":"Recent captures","uri":"quorvelin://shots/recent"},{"mimeType":"text/plain","name":"Hotkeys","uri":"quorvelin://settings/hotkeys"}]})");
    QTest::newRow("resources/list without resources: empty list")
        << R"({"mode":"fixed","reply":{"items":[1]}})" << list << resultLine(R"({"resources":[]})");
    QTest::newRow("resources/list error: empty list")
        << "close-early" << list << resultLine(R"({"resources":[]})");

    QTest::newRow("resources/read passed on")
        << "reply" << read
        << resultLine(
               R"({"contents":[{"mimeType":"text/plain","text":"capture: Ctrl+Alt+A\npin: F3\n","uri":"quorvelin://settings/hotkeys"}]})");
    QTest::newRow("resources/read __error__")
        << "error:message=磁盘已满" << read
        << QByteArray(R"({"error":{"code":-32002,"message":"磁盘已满"},"id":1,"jsonrpc":"2.0"})");
    QTest::newRow("resources/read __error__ not a string")
        << R"({"mode":"fixed","reply":{"__error__":42}})" << read
        << QByteArray(R"({"error":{"code":-32002,"message":""},"id":1,"jsonrpc":"2.0"})");
    QTest::newRow("resources/read __error__ wins over isError")
        << R"({"mode":"fixed","reply":{"__error__":"gone","isError":true}})" << read
        << QByteArray(R"({"error":{"code":-32002,"message":"gone"},"id":1,"jsonrpc":"2.0"})");
    QTest::newRow("resources/read isError, whatever its value")
        << R"({"mode":"fixed","reply":{"isError":false}})" << read << kUnreadable;
    QTest::newRow("resources/read timeout") << "close-early" << read << kUnreadable;
    QTest::newRow("resources/read broken JSON: empty result")
        << "broken" << read << resultLine("{}");
    QTest::newRow("resources/read deferred: never retried")
        << "defer:retry_after_ms=20" << read << kUnreadable;
}

void TestBridge::replies() {
    QFETCH(QString, behaviour);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);

    IsolatedEnv env;
    BridgeSimProcess sim(logPath(env));
    QVERIFY2(sim.start(env.environment(), {QStringLiteral("--default"), behaviour}),
             qPrintable(sim.error()));
    SidecarSession sidecar;
    QVERIFY2(sidecar.start(env.environment()), qPrintable(sidecar.error()));
    qint64 elapsed = 0;
    QCOMPARE(sidecar.ask(request, 10000, &elapsed), expected);
    // Early closes and odd replies are seen at once, never by waiting out the budget.
    QVERIFY2(elapsed < 3000, qPrintable(QStringLiteral("answered after %1 ms").arg(elapsed)));
    QCOMPARE(sim.requests().size(), 1);
}

// What the GUI program receives, byte for byte.
void TestBridge::requestShapes_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("tool call: arguments, name; no kind")
        << call("ocr_shot", R"({"shot_id":"a","b":[1,2]})")
        << QByteArray(R"({"arguments":{"b":[1,2],"shot_id":"a"},"name":"ocr_shot"})");
    QTest::newRow("tool call without arguments")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"x"}})")
        << QByteArray(R"({"arguments":{},"name":"x"})");
    QTest::newRow("tool call with arguments not an object")
        << call("x", "[1]") << QByteArray(R"({"arguments":{},"name":"x"})");
    QTest::newRow("tool call with a name not a string")
        << QByteArray(
               R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":5,"arguments":{"a":1}}})")
        << QByteArray(R"({"arguments":{"a":1},"name":""})");
    QTest::newRow("tool call without params")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})")
        << QByteArray(R"({"arguments":{},"name":""})");
    QTest::newRow("resources/list: params as arguments, empty name")
        << QByteArray(
               R"({"jsonrpc":"2.0","id":1,"method":"resources/list","params":{"cursor":"c"}})")
        << QByteArray(R"({"arguments":{"cursor":"c"},"kind":"resources/list","name":""})");
    QTest::newRow("resources/list without params")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"resources/list"})")
        << QByteArray(R"({"arguments":{},"kind":"resources/list","name":""})");
    QTest::newRow("resources/read: whole params, its name ignored")
        << QByteArray(
               R"({"jsonrpc":"2.0","id":1,"method":"resources/read","params":{"uri":"u","name":"n"}})")
        << QByteArray(R"({"arguments":{"name":"n","uri":"u"},"kind":"resources/read","name":""})");
}

void TestBridge::requestShapes() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, sent);

    IsolatedEnv env;
    BridgeSimProcess sim(logPath(env));
    QVERIFY2(sim.start(env.environment(), {}), qPrintable(sim.error()));
    SidecarSession sidecar;
    QVERIFY2(sidecar.start(env.environment()), qPrintable(sidecar.error()));
    QVERIFY(!sidecar.ask(request).isEmpty());
    QCOMPARE(sim.requests(), QList<QByteArray>{sent});
}

void TestBridge::yieldRetry_data() {
    QTest::addColumn<QString>("switchValue"); // null: unset
    QTest::addColumn<QString>("behaviour");   // the first requests; later ones get a reply
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("minMs");

    const QByteArray ran = R"({"text":"ran x {}","type":"text"})";
    const auto ranAfter = [&](int ms) {
        return resultLine(R"({"content":[)" + ran + "," + noteItem(kRanNote, ms) + "]}");
    };
    const auto deferredUnchanged = [](int ms) {
        return resultLine(R"({"content":[)" + deferral(ms) +
                          R"(],"isError":true,"retry_after_ms":)" + QByteArray::number(ms) + "}");
    };

    QTest::newRow("deferred once, then ran: note names 120 ms")
        << QString() << "defer:retry_after_ms=20"
        << "reply" << ranAfter(120) << 2 << 120;
    QTest::newRow("deferred three times: 360 ms") << QString() << "defer:retry_after_ms=20,times=3"
                                                  << "reply" << ranAfter(360) << 4 << 360;
    QTest::newRow("switch 0: deferral passed on unchanged")
        << "0"
        << "defer:retry_after_ms=20"
        << "reply" << deferredUnchanged(20) << 1 << 0;
    QTest::newRow("switch no: retried") << "no"
                                        << "defer:retry_after_ms=20"
                                        << "reply" << ranAfter(120) << 2 << 120;
    QTest::newRow("switch empty: retried") << ""
                                           << "defer:retry_after_ms=20"
                                           << "reply" << ranAfter(120) << 2 << 120;
    QTest::newRow("switch 00: retried") << "00"
                                        << "defer:retry_after_ms=20"
                                        << "reply" << ranAfter(120) << 2 << 120;
    QTest::newRow("4001 ms asked: not retried") << QString() << "defer:retry_after_ms=4001"
                                                << "reply" << deferredUnchanged(4001) << 1 << 0;
    QTest::newRow("never ends: the whole 8000 ms budget")
        << QString() << "defer:retry_after_ms=3900"
        << "defer:retry_after_ms=3900"
        << resultLine(R"({"content":[)" + deferral(3900) + "," + noteItem(kStillNote, 8000) +
                      R"(],"isError":true,"retry_after_ms":3900})")
        << 3 << 8000;
}

void TestBridge::yieldRetry() {
    QFETCH(QString, switchValue);
    QFETCH(QString, behaviour);
    QFETCH(QString, fallback);
    QFETCH(QByteArray, expected);
    QFETCH(int, requests);
    QFETCH(int, minMs);

    IsolatedEnv env;
    if (!switchValue.isNull())
        env.set(QStringLiteral("QUORVELIN_MCP_YIELD_RETRY"), switchValue);
    BridgeSimProcess sim(logPath(env));
    QVERIFY2(sim.start(env.environment(), {QStringLiteral("--next"), behaviour,
                                           QStringLiteral("--default"), fallback}),
             qPrintable(sim.error()));
    SidecarSession sidecar;
    QVERIFY2(sidecar.start(env.environment()), qPrintable(sidecar.error()));
    qint64 elapsed = 0;
    QCOMPARE(sidecar.ask(call("x"), 15000, &elapsed), expected);
    QVERIFY2(elapsed >= minMs, qPrintable(QStringLiteral("answered after %1 ms").arg(elapsed)));
    const QList<QByteArray> sent = sim.requests();
    QCOMPARE(sent.size(), requests);
    for (const QByteArray &line : sent)
        QCOMPARE(line, QByteArray(R"({"arguments":{},"name":"x"})"));
}

// The sidecar handles one message at a time: a request sent while a call is blocked waits,
// and the answers leave in request order.
void TestBridge::ordering_data() {
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<int>("blockedMs");

    QTest::newRow("slow reply") << "reply:delay_ms=600" << 600;
    QTest::newRow("yield sleep") << "defer:retry_after_ms=500" << 600;
}

void TestBridge::ordering() {
    QFETCH(QString, behaviour);
    QFETCH(int, blockedMs);

    IsolatedEnv env;
    BridgeSimProcess sim(logPath(env));
    QVERIFY2(sim.start(env.environment(), {QStringLiteral("--next"), behaviour}),
             qPrintable(sim.error()));
    SidecarSession sidecar;
    QVERIFY2(sidecar.start(env.environment()), qPrintable(sidecar.error()));
    QElapsedTimer clock;
    clock.start();
    sidecar.send(call("x"));
    sidecar.send(R"({"jsonrpc":"2.0","id":2,"method":"ping"})");
    sidecar.send(R"({"jsonrpc":"2.0","id":3,"method":"resources/list"})");
    QVERIFY(sidecar.nextAnswer(5000).startsWith(R"({"id":1,)"));
    QCOMPARE(sidecar.nextAnswer(5000), QByteArray(R"({"id":2,"jsonrpc":"2.0","result":{}})"));
    QVERIFY2(clock.elapsed() >= blockedMs - 50,
             qPrintable(QStringLiteral("ping answered after %1 ms").arg(clock.elapsed())));
    QVERIFY(sidecar.nextAnswer(5000).startsWith(R"({"id":3,)"));
}

// A sidecar reaches only the GUI program of its own world.
void TestBridge::worlds_data() {
    QTest::addColumn<bool>("simDev");
    QTest::addColumn<bool>("sidecarDev");

    QTest::newRow("production both") << false << false;
    QTest::newRow("dev both") << true << true;
    QTest::newRow("dev GUI, production sidecar") << true << false;
    QTest::newRow("production GUI, dev sidecar") << false << true;
}

void TestBridge::worlds() {
    QFETCH(bool, simDev);
    QFETCH(bool, sidecarDev);

    IsolatedEnv env;
    QProcessEnvironment simEnv = env.environment();
    if (simDev)
        simEnv.insert(QStringLiteral("QUORVELIN_DEV"), QStringLiteral("1"));
    BridgeSimProcess sim(logPath(env));
    QVERIFY2(sim.start(simEnv, {}), qPrintable(sim.error()));
    QVERIFY(QFile::exists(env.appDataDir(simDev) + QStringLiteral("/mcp-tools.json")));
    QVERIFY(!QFile::exists(env.appDataDir(!simDev) + QStringLiteral("/mcp-tools.json")));

    if (sidecarDev)
        env.set(QStringLiteral("QUORVELIN_DEV"), QStringLiteral("1"));
    SidecarSession sidecar;
    QVERIFY2(sidecar.start(env.environment()), qPrintable(sidecar.error()));
    const bool sameWorld = simDev == sidecarDev;
    QCOMPARE(sidecar.ask(call("x")), sameWorld ? echoed("ran x {}") : kNeedGui);
    const QByteArray tools = sidecar.ask(R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})");
    QCOMPARE(tools.contains(R"("name":"ocr_shot")"), sameWorld);
}

// The stand-in never takes over a live bridge, but clears the file a crashed one left.
void TestBridge::standInSocketFile() {
    IsolatedEnv env;
    BridgeSimProcess first(logPath(env));
    QVERIFY2(first.start(env.environment(), {}), qPrintable(first.error()));
    BridgeSimProcess second(logPath(env));
    QVERIFY(!second.start(env.environment(), {}));
    QVERIFY(second.process().state() == QProcess::NotRunning ||
            second.process().waitForFinished(3000));
    QCOMPARE(second.process().exitCode(), 1);
    QVERIFY2(second.error().contains(QStringLiteral("already listens")),
             qPrintable(second.error()));

    SidecarSession sidecar;
    QVERIFY2(sidecar.start(env.environment()), qPrintable(sidecar.error()));
    QCOMPARE(sidecar.ask(call("x")), echoed("ran x {}"));

    first.crash();
    BridgeSimProcess third(logPath(env));
    QVERIFY2(third.start(env.environment(), {}), qPrintable(third.error()));
    QCOMPARE(sidecar.ask(call("x")), echoed("ran x {}"));
}

QTEST_GUILESS_MAIN(TestBridge)
