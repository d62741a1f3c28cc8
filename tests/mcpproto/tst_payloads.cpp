// The protocol payloads the sidecar builds itself: initialize result and its instructions, the
// tool-error object, the socket name and the prompt texts. The served texts are pinned by size
// and by their section boundaries so that no character of them drifts.
#include "mcpproto/initialize.h"
#include "mcpproto/prompts.h"
#include "mcpproto/protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace quorvelin::mcpproto;

namespace {

qsizetype codePoints(const QString &text) {
    return text.toUcs4().size();
}

QString instructionsIn(bool devWorld) {
    if (devWorld)
        qputenv("QUORVELIN_DEV", "1");
    else
        qunsetenv("QUORVELIN_DEV");
    const QString text =
        initializeResult(QString()).value(QStringLiteral("instructions")).toString();
    qunsetenv("QUORVELIN_DEV");
    return text;
}

QByteArray compact(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString promptText(const QString &name, const QJsonObject &arguments) {
    bool found = false;
    const QJsonObject prompt = promptGet(name, arguments, &found);
    return found ? prompt.value(QStringLiteral("messages"))
                       .toArray()
                       .first()
                       .toObject()
                       .value(QStringLiteral("content"))
                       .toObject()
                       .value(QStringLiteral("text"))
                       .toString()
                 : QStringLiteral("<not found>");
}

} // namespace

class PayloadTest : public QObject {
    Q_OBJECT

private slots:
    void init() { qunsetenv("QUORVELIN_DEV"); }

    void instructionsSize() {
        const QString main = instructionsIn(false);
        QCOMPARE(codePoints(main), 3785);
        QCOMPARE(main.toUtf8().size(), 6754);
        QVERIFY(main.endsWith(QStringLiteral("你都要自己做。\n")));
        QVERIFY(!main.endsWith(QStringLiteral("\n\n")));
    }

    // Each section starts where it should, in order, after exactly one blank line.
    void instructionsSections_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("endOfPrevious");
        QTest::newRow("title")
            << QStringLiteral("# Quorvelin MCP — 用户本机的截屏 + 标注 + 历史助手\n\n你正连接到")
            << QString();
        QTest::newRow("when to use") << QStringLiteral("## 何时主动使用 quorvelin 工具\n\n")
                                     << QStringLiteral("看不到也用不到)。\n\n");
        QTest::newRow("workflow") << QStringLiteral("## 工作流(按顺序,不要跳)\n\n1. ")
                                  << QStringLiteral(
                                         "要带声音请用户自己从 Quorvelin 录屏页录。\n\n");
        QTest::newRow("failures")
            << QStringLiteral("## 工具失败时 → 处置策略\n\n按失败文本里的**原文片段**判断")
            << QStringLiteral("拖拽/排序/滑块用 `drag`\n\n");
        QTest::newRow("automation")
            << QStringLiteral("## 高危类:鼠键自动化(默认开启,用户可随时关)\n\n`mouse_move`")
            << QStringLiteral("最相近的窗口/元素名)\n\n");
        QTest::newRow("mission") << QStringLiteral("## Quorvelin 的使命\n\n替用户")
                                 << QStringLiteral("**等用户回 OK 再调**。\n\n");
    }

    void instructionsSections() {
        QFETCH(QString, start);
        QFETCH(QString, endOfPrevious);
        const QString main = instructionsIn(false);
        const qsizetype at = main.indexOf(start);
        QVERIFY2(at >= 0, qPrintable(start));
        if (endOfPrevious.isEmpty())
            QCOMPARE(at, 0);
        else
            QCOMPARE(main.lastIndexOf(endOfPrevious, at) + endOfPrevious.size(), at);
    }

    void pinningBullet() {
        const QString main = instructionsIn(false);
        QVERIFY(main.contains(
            QStringLiteral("→ `copy_shot_to_clipboard`\n"
                           "- \"钉图 / 钉到桌面 / 浮窗 / pin it\" → `pin_shot`\n"
                           "- \"列出我开了哪些窗口 / 看下任务\" → `list_visible_windows`\n")));
        QVERIFY(main.contains(QStringLiteral("守卫逐条回源码核对):\n\n- `via AI is disabled`")));
    }

    void devWorldNotice() {
        const QString main = instructionsIn(false);
        const QString dev = instructionsIn(true);
        QVERIFY(dev.endsWith(main));
        const QString notice = dev.left(dev.size() - main.size());
        QCOMPARE(codePoints(notice), 84);
        QVERIFY(notice.startsWith(QStringLiteral("**注意:你正连接的是 Quorvelin 开发实例**")));
        QVERIFY(notice.endsWith(QStringLiteral("先请他们尝试切到正式安装版。\n\n")));
    }

    void initializeProtocolVersion_data() {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QString>("answered");
        QTest::newRow("none") << QString() << QStringLiteral("2024-11-05");
        QTest::newRow("ours") << QStringLiteral("2024-11-05") << QStringLiteral("2024-11-05");
        QTest::newRow("later revision")
            << QStringLiteral("2025-06-18") << QStringLiteral("2025-06-18");
        QTest::newRow("not trimmed") << QStringLiteral(" x ") << QStringLiteral(" x ");
    }

    void initializeProtocolVersion() {
        QFETCH(QString, requested);
        QFETCH(QString, answered);
        QCOMPARE(initializeResult(requested).value(QStringLiteral("protocolVersion")).toString(),
                 answered);
    }

    // Tests run from the build tree, a development build; the release rows run in the process
    // tests from a copy of the sidecar.
    void initializeIdentity_data() {
        QTest::addColumn<QByteArray>("dev");
        QTest::addColumn<QByteArray>("serverInfo");
        QTest::newRow("unset")
            << QByteArray()
            << QByteArray(R"({"build":"prod","name":"quorvelin-dev","version":"0.8.2"})");
        QTest::newRow("1") << QByteArray("1")
                           << QByteArray(
                                  R"({"build":"dev","name":"quorvelin-dev","version":"0.8.2"})");
        QTest::newRow("0 counts as set")
            << QByteArray("0")
            << QByteArray(R"({"build":"dev","name":"quorvelin-dev","version":"0.8.2"})");
    }

    void initializeIdentity() {
        QFETCH(QByteArray, dev);
        QFETCH(QByteArray, serverInfo);
        if (!dev.isNull())
            qputenv("QUORVELIN_DEV", dev);
        const QJsonObject result = initializeResult(QString());
        QCOMPARE(compact(result.value(QStringLiteral("serverInfo")).toObject()), serverInfo);
        QCOMPARE(
            compact(result.value(QStringLiteral("capabilities")).toObject()),
            QByteArray(
                R"({"prompts":{"listChanged":false},"resources":{"listChanged":false,"subscribe":false},"tools":{"listChanged":false}})"));
        QCOMPARE(result.keys(),
                 (QStringList{QStringLiteral("capabilities"), QStringLiteral("instructions"),
                              QStringLiteral("protocolVersion"), QStringLiteral("serverInfo")}));
    }

    void socketNameByWorld_data() {
        QTest::addColumn<QByteArray>("dev");
        QTest::addColumn<QString>("name");
        QTest::newRow("unset") << QByteArray() << QStringLiteral("Quorvelin.McpBridge.v1");
        QTest::newRow("empty") << QByteArray("") << QStringLiteral("Quorvelin.McpBridge.v1");
        QTest::newRow("1") << QByteArray("1") << QStringLiteral("Quorvelin.McpBridge.v1.dev");
        QTest::newRow("0") << QByteArray("0") << QStringLiteral("Quorvelin.McpBridge.v1.dev");
        QTest::newRow("false") << QByteArray("false")
                               << QStringLiteral("Quorvelin.McpBridge.v1.dev");
    }

    void socketNameByWorld() {
        QFETCH(QByteArray, dev);
        QFETCH(QString, name);
        if (!dev.isNull())
            qputenv("QUORVELIN_DEV", dev);
        QCOMPARE(socketName(), name);
        QCOMPARE(protocolVersion(), QStringLiteral("2024-11-05"));
    }

    void toolError_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QString()
                               << QByteArray(
                                      R"({"content":[{"text":"","type":"text"}],"isError":true})");
        QTest::newRow("escapes") << QStringLiteral("a\n\"b\"\t中")
                                 << QByteArray(
                                        "{\"content\":[{\"text\":\"a\\n\\\"b\\\"\\t\xe4\xb8\xad\","
                                        "\"type\":\"text\"}],\"isError\":true}");
        QTest::newRow("not trimmed")
            << QStringLiteral("  [x] ")
            << QByteArray(R"({"content":[{"text":"  [x] ","type":"text"}],"isError":true})");
    }

    void toolError() {
        QFETCH(QString, message);
        QFETCH(QByteArray, json);
        QCOMPARE(compact(makeError(message)), json);
    }

    // Fixed prompt texts, pinned by size in code points (numbers already substituted).
    void promptTextSize_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("endsWithLineFeed");
        QTest::newRow("annotate") << QStringLiteral("annotate-active-window") << 275 << false;
        QTest::newRow("compare") << QStringLiteral("compare-before-after") << 355 << true;
        QTest::newRow("find error") << QStringLiteral("find-error-on-screen") << 353 << false;
        QTest::newRow("tutorial, 3 x %1 -> 5")
            << QStringLiteral("make-tutorial") << 417 - 3 << false;
        QTest::newRow("archive, 2 x %1 -> 30") << QStringLiteral("archive-recent") << 554 << false;
    }

    void promptTextSize() {
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(bool, endsWithLineFeed);
        const QString text = promptText(name, QJsonObject());
        QCOMPARE(codePoints(text), size);
        QCOMPARE(text.endsWith(u'\n'), endsWithLineFeed);
        QVERIFY(!text.contains(QStringLiteral("%1")));
    }

    void numericArguments_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("used");
        const QString tutorial = QStringLiteral("make-tutorial");
        const QString archive = QStringLiteral("archive-recent");
        QTest::newRow("steps absent")
            << tutorial << QJsonValue(QJsonValue::Undefined) << QStringLiteral("5");
        QTest::newRow("steps empty") << tutorial << QJsonValue(QString()) << QStringLiteral("5");
        QTest::newRow("steps blanks")
            << tutorial << QJsonValue(QStringLiteral("   ")) << QStringLiteral("5");
        QTest::newRow("steps letters")
            << tutorial << QJsonValue(QStringLiteral("six")) << QStringLiteral("5");
        QTest::newRow("steps fraction")
            << tutorial << QJsonValue(QStringLiteral("5.5")) << QStringLiteral("5");
        QTest::newRow("steps 1 below range")
            << tutorial << QJsonValue(QStringLiteral("1")) << QStringLiteral("5");
        QTest::newRow("steps 11 above range")
            << tutorial << QJsonValue(QStringLiteral("11")) << QStringLiteral("5");
        QTest::newRow("steps as JSON number") << tutorial << QJsonValue(8) << QStringLiteral("5");
        QTest::newRow("steps null")
            << tutorial << QJsonValue(QJsonValue::Null) << QStringLiteral("5");
        QTest::newRow("steps 8 with blanks")
            << tutorial << QJsonValue(QStringLiteral(" 8\t")) << QStringLiteral("8");
        QTest::newRow("steps 2 lower bound")
            << tutorial << QJsonValue(QStringLiteral("2")) << QStringLiteral("2");
        QTest::newRow("steps 10 upper bound")
            << tutorial << QJsonValue(QStringLiteral("10")) << QStringLiteral("10");
        QTest::newRow("steps leading zero")
            << tutorial << QJsonValue(QStringLiteral("07")) << QStringLiteral("7");
        QTest::newRow("steps 11 digits")
            << tutorial << QJsonValue(QStringLiteral("99999999999")) << QStringLiteral("5");
        QTest::newRow("steps 2^32+7 wraps nowhere")
            << tutorial << QJsonValue(QStringLiteral("4294967303")) << QStringLiteral("5");
        QTest::newRow("steps negative")
            << tutorial << QJsonValue(QStringLiteral("-3")) << QStringLiteral("5");
        QTest::newRow("count 4") << archive << QJsonValue(QStringLiteral("4"))
                                 << QStringLiteral("30");
        QTest::newRow("count 5") << archive << QJsonValue(QStringLiteral("5"))
                                 << QStringLiteral("5");
        QTest::newRow("count 200")
            << archive << QJsonValue(QStringLiteral("200")) << QStringLiteral("200");
        QTest::newRow("count 201")
            << archive << QJsonValue(QStringLiteral("201")) << QStringLiteral("30");
        QTest::newRow("count array")
            << archive << QJsonValue(QJsonArray{50}) << QStringLiteral("30");
    }

    void numericArguments() {
        QFETCH(QString, name);
        QFETCH(QJsonValue, value);
        QFETCH(QString, used);
        const QString key = name == QStringLiteral("make-tutorial") ? QStringLiteral("steps")
                                                                    : QStringLiteral("count");
        QJsonObject arguments;
        if (!value.isUndefined())
            arguments.insert(key, value);
        const QString text = promptText(name, arguments);
        const QString expected =
            name == QStringLiteral("make-tutorial")
                ? QStringLiteral("我们做一份 %1 步的操作教程").arg(used)
                : QStringLiteral("`list_recent_shots(count=%1)` 列最近 %1 张").arg(used);
        QVERIFY2(text.contains(expected), qPrintable(text.left(80)));
    }

    void unknownPromptNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("capitals") << QStringLiteral("Make-Tutorial");
        QTest::newRow("leading blank") << QStringLiteral(" make-tutorial");
        QTest::newRow("trailing blank") << QStringLiteral("make-tutorial ");
        QTest::newRow("empty") << QString();
        QTest::newRow("prefix") << QStringLiteral("make");
    }

    void unknownPromptNames() {
        QFETCH(QString, name);
        bool found = true;
        QCOMPARE(promptGet(name, QJsonObject(), &found), QJsonObject());
        QCOMPARE(found, false);
        QCOMPARE(promptGet(name, QJsonObject(), nullptr), QJsonObject());
    }
};

QTEST_GUILESS_MAIN(PayloadTest)
#include "tst_payloads.moc"
