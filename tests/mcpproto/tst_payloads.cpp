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

    // Exactly these members and capabilities; the values by world run in the process scenarios.
    void initializeShape() {
        const QJsonObject result = initializeResult(QString());
        QCOMPARE(result.keys(),
                 (QStringList{QStringLiteral("capabilities"), QStringLiteral("instructions"),
                              QStringLiteral("protocolVersion"), QStringLiteral("serverInfo")}));
        QCOMPARE(
            compact(result.value(QStringLiteral("capabilities")).toObject()),
            QByteArray(
                R"({"prompts":{"listChanged":false},"resources":{"listChanged":false,"subscribe":false},"tools":{"listChanged":false}})"));
        QCOMPARE(result.value(QStringLiteral("serverInfo")).toObject().keys(),
                 (QStringList{QStringLiteral("build"), QStringLiteral("name"),
                              QStringLiteral("version")}));
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
};

QTEST_GUILESS_MAIN(PayloadTest)
#include "tst_payloads.moc"
