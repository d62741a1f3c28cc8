// Long and hostile sessions against the real sidecar: whatever arrives, every request that should
// be answered is answered exactly, in order, nothing else is written, and memory stays bounded.
#include "mcpproto/initialize.h"
#include "mcpproto/prompts.h"
#include "support/processenv.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>

using namespace quorvelin;
using namespace quorvelin::testsupport;

namespace {

// Generous: the 50 MB line is held a few times over while it is parsed, the rest is small.
constexpr qint64 kPeakRssLimitKb = 1536 * 1024;
constexpr qsizetype kFiftyMegabytes = 50 * 1024 * 1024;

// JSON string pieces and the text each stands for, so ids are written by hand, not by Qt.
struct Piece {
    const char *json;
    const char *text;
};
const Piece kPieces[] = {
    {"a", "a"},   {"Z9", "Z9"},     {"\\n", "\n"},    {"\\\"", "\""},          {"\\\\", "\\"},
    {"\\/", "/"}, {"中文", "中文"}, {"\\u00e9", "é"}, {"\\ud83d\\ude00", "😀"}, {"\\u0001", "\x01"},
    {" ", " "},   {"\\t", "\t"},
};

const char *const kPromptNames[] = {"annotate-active-window", "compare-before-after",
                                    "find-error-on-screen", "make-tutorial", "archive-recent"};

// Lines that must never be answered: not JSON, not an object, broken UTF-8, NUL bytes.
const char *const kBrokenUtf8[] = {"\xc3\x28", "\xff", "\xc0\xaf", "\xe2\x82", "\x80"};

struct Session {
    QByteArray input;
    QList<QJsonObject> expected;
    int messages = 0;

    void answered(const QByteArray &line, const QJsonObject &answer) {
        silent(line);
        expected.append(answer);
    }
    void silent(const QByteArray &line) {
        input += line;
        input += '\n';
        ++messages;
    }
};

QJsonObject result(const QJsonValue &id, const QJsonObject &value) {
    return {{QStringLiteral("id"), id},
            {QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
            {QStringLiteral("result"), value}};
}

QJsonObject error(const QJsonValue &id, int code, const QString &message) {
    return {{QStringLiteral("id"), id},
            {QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
            {QStringLiteral("error"),
             QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}}}};
}

QByteArray number(qint64 n) {
    return QByteArray::number(n);
}

QByteArray ping(const QByteArray &id, const QByteArray &params = QByteArray()) {
    QByteArray line = R"({"jsonrpc":"2.0","id":)" + id + R"(,"method":"ping")";
    if (!params.isEmpty())
        line += R"(,"params":)" + params;
    return line + '}';
}

QByteArray nested(int depth, const QByteArray &core) {
    return QByteArray(depth, '[') + core + QByteArray(depth, ']');
}

// The catalogue file of `count` tools, each with a schema of its own.
QJsonArray writeCatalogue(const IsolatedEnv &env, int count) {
    QJsonArray tools;
    for (int i = 0; i < count; ++i) {
        QJsonObject properties{{QStringLiteral("id"),
                                QJsonObject{{QStringLiteral("type"), QStringLiteral("integer")}}}};
        if (i % 3 == 0)
            properties.insert(QStringLiteral("note"),
                              QJsonObject{{QStringLiteral("type"), QStringLiteral("string")},
                                          {QStringLiteral("description"),
                                           QStringLiteral("说明 %1 \"quoted\"\n").arg(i)}});
        tools.append(QJsonObject{
            {QStringLiteral("name"), QStringLiteral("tool_%1").arg(i)},
            {QStringLiteral("description"), QStringLiteral("工具 %1 · does thing %1").arg(i)},
            {QStringLiteral("inputSchema"),
             QJsonObject{{QStringLiteral("type"), QStringLiteral("object")},
                         {QStringLiteral("properties"), properties},
                         {QStringLiteral("required"), QJsonArray{QStringLiteral("id")}}}}});
    }
    QDir().mkpath(env.appDataDir(false));
    QFile file(env.appDataDir(false) + QStringLiteral("/mcp-tools.json"));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(QJsonObject{{QStringLiteral("tools"), tools}}).toJson()) < 0)
        return QJsonArray();
    return tools;
}

class MixedSession {
public:
    MixedSession(const QJsonArray &tools)
        : tools_(tools) {}

    Session build(int total) {
        // The 50 MB line lands in the middle, so answers after it are checked too.
        while (session_.messages < total) {
            if (session_.messages == total / 2)
                fiftyMegabyteLine();
            else
                oneMessage();
        }
        // The last line is always answered: the run waits for exactly this many answers.
        session_.answered(ping("\"last\""), result(QStringLiteral("last"), {}));
        return session_;
    }

private:
    void oneMessage() {
        const qint64 n = session_.messages;
        switch (random_.bounded(20)) {
        case 0:
        case 1:
        case 2:
            session_.answered(ping(number(n)), result(n, {}));
            break;
        case 3:
            stringIdPing();
            break;
        case 4:
            session_.answered(R"({"id":)" + number(n) + R"(,"method":"x/)" + number(n) + "\"}",
                              error(n, -32601, QStringLiteral("Method not found: x/%1").arg(n)));
            break;
        case 5:
            session_.silent(
                R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":)" +
                number(n) + "}}");
            session_.silent(R"({"jsonrpc":"2.0","id":)" + number(n) +
                            R"(,"method":"notifications/initialized"})");
            break;
        case 6: {
            // Any proper prefix of an object's text is not a JSON document.
            const QByteArray whole = ping(number(n));
            session_.silent(whole.left(random_.bounded(1, int(whole.size()))));
            break;
        }
        case 7: {
            static const char kStarts[] = {'[', '"', 'x', '\xff', '1'};
            QByteArray garbage(1, kStarts[random_.bounded(int(sizeof kStarts))]);
            const int length = random_.bounded(200);
            for (int i = 0; i < length; ++i) {
                const char c = char(random_.bounded(256));
                garbage += c == '\n' ? ' ' : c;
            }
            session_.silent(garbage);
            break;
        }
        case 8:
            hugeId();
            break;
        case 9:
            session_.answered(ping(number(n), R"({"deep":)" + nested(500, "1") + "}"),
                              result(n, {}));
            break;
        case 10:
            if (random_.bounded(10) == 0) // each is 200 KB; a few suffice
                session_.silent(ping(number(n), R"({"deep":)" + nested(100000, "1") + "}"));
            else
                session_.silent(R"({"id":)" + number(n) + R"(,"method":"ping","params":{"s":")" +
                                kBrokenUtf8[random_.bounded(int(std::size(kBrokenUtf8)))] + "\"}}");
            break;
        case 11:
            session_.silent(QByteArray(R"({"id":)") + number(n) +
                            QByteArray(",\0\"method\":\"ping\"}", 18));
            session_.silent(QByteArray(R"({"id":)") + number(n) +
                            QByteArray(",\"method\":\"ping\",\"params\":{\"s\":\"a\0b\"}}", 37));
            break;
        case 12:
            session_.answered(ping(number(n)) + '\r', result(n, {}));
            session_.silent(QByteArray());
            break;
        case 13:
            session_.answered(R"({"jsonrpc":"2.0","id":)" + number(n) +
                                  R"(,"method":"tools/list"})",
                              result(n, {{QStringLiteral("tools"), tools_}}));
            break;
        case 14:
        case 15:
            promptGet();
            break;
        case 16:
            session_.answered(R"({"id":)" + number(n) +
                                  R"(,"method":"prompts/get","params":{"name":"nope)" + number(n) +
                                  "\"}}",
                              error(n, -32602, QStringLiteral("Unknown prompt: nope%1").arg(n)));
            break;
        case 17: {
            const QString version = QStringLiteral("2024-11-%1").arg(n % 30);
            session_.answered(R"({"jsonrpc":"2.0","id":)" + number(n) +
                                  R"(,"method":"initialize","params":{"protocolVersion":")" +
                                  version.toUtf8() + R"(","clientInfo":{"name":"stress"}}})",
                              result(n, mcpproto::initializeResult(version)));
            break;
        }
        case 18:
            session_.answered(R"({"jsonrpc":"2.0","id":)" + number(n) +
                                  R"(,"method":"prompts/list"})",
                              result(n, {{QStringLiteral("prompts"), mcpproto::promptsList()}}));
            break;
        default:
            session_.answered(R"({"method":"ping","id":)" + nested(200, number(n)) + "}",
                              result(nestedValue(200, n), {}));
            break;
        }
    }

    void stringIdPing() {
        QByteArray json;
        QString text;
        const int pieces = random_.bounded(1, 12);
        for (int i = 0; i < pieces; ++i) {
            const Piece &piece = kPieces[random_.bounded(int(std::size(kPieces)))];
            json += piece.json;
            text += QString::fromUtf8(piece.text);
        }
        session_.answered(ping('"' + json + '"'), result(text, {}));
    }

    void hugeId() {
        switch (random_.bounded(4)) {
        case 0: {
            const QByteArray id(random_.bounded(1000, 300000), 'k');
            session_.answered(ping('"' + id + '"'), result(QString::fromLatin1(id), {}));
            break;
        }
        case 1:
            session_.answered(ping("9007199254740991"), result(qint64(9007199254740991), {}));
            break;
        case 2:
            session_.answered(ping("-9007199254740991"), result(qint64(-9007199254740991), {}));
            break;
        default:
            session_.answered(ping("1.5e300"), result(1.5e300, {}));
            break;
        }
    }

    void promptGet() {
        const qint64 n = session_.messages;
        const QString name = QString::fromLatin1(kPromptNames[random_.bounded(5)]);
        const QJsonObject arguments{
            {QStringLiteral("steps"), QString::number(random_.bounded(0, 12))},
            {QStringLiteral("count"), QString::number(random_.bounded(0, 250))}};
        const QByteArray line = R"({"jsonrpc":"2.0","id":)" + number(n) +
                                R"(,"method":"prompts/get","params":)" +
                                QJsonDocument(QJsonObject{{QStringLiteral("name"), name},
                                                          {QStringLiteral("arguments"), arguments}})
                                    .toJson(QJsonDocument::Compact) +
                                '}';
        session_.answered(line, result(n, mcpproto::promptGet(name, arguments)));
    }

    void fiftyMegabyteLine() {
        const QByteArray head =
            R"({"jsonrpc":"2.0","id":"fifty","method":"ping","params":{"blob":")";
        QByteArray line = head;
        line.reserve(kFiftyMegabytes);
        line += QByteArray(kFiftyMegabytes - head.size() - 3, 'b');
        line += "\"}}";
        session_.answered(line, result(QStringLiteral("fifty"), {}));
    }

    static QJsonValue nestedValue(int depth, qint64 core) {
        QJsonValue value(core);
        for (int i = 0; i < depth; ++i)
            value = QJsonArray{value};
        return value;
    }

    QJsonArray tools_;
    Session session_;
    QRandomGenerator random_{6};
};

QString describe(const QJsonObject &object) {
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.size() > 300 ? text.left(300) + "..." : text);
}

// The first answer that differs, or an empty string.
QString firstDifference(const QList<QByteArray> &lines, const QList<QJsonObject> &expected) {
    for (qsizetype i = 0; i < qMin(lines.size(), expected.size()); ++i) {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(lines.at(i), &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject())
            return QStringLiteral("answer %1 is not a JSON object: %2")
                .arg(i)
                .arg(QString::fromUtf8(lines.at(i).left(300)));
        if (document.object() != expected.at(i))
            return QStringLiteral("answer %1 is\n  %2\nexpected\n  %3")
                .arg(i)
                .arg(describe(document.object()), describe(expected.at(i)));
    }
    if (lines.size() != expected.size())
        return QStringLiteral("%1 answers, expected %2").arg(lines.size()).arg(expected.size());
    return QString();
}

} // namespace

class StressLoopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(sidecarPath()), qPrintable(sidecarPath())); }

    void hundredThousandMixedMessages() {
        IsolatedEnv env;
        const QJsonArray tools = writeCatalogue(env, 3);
        QCOMPARE(tools.size(), 3);
        const Session session = MixedSession(tools).build(100000);
        QVERIFY(session.input.size() > kFiftyMegabytes);
        qInfo("%lld messages, %lld of them answered", qint64(session.messages),
              qint64(session.expected.size()));

        const StreamRun run = streamProcess(sidecarPath(), {}, env.environment(), session.input,
                                            session.expected.size());
        QVERIFY2(run.started, "the sidecar did not start");
        QVERIFY2(run.stalled.isEmpty(), qPrintable(run.stalled + "\n" + run.err.right(3000)));
        QVERIFY2(run.finished && run.exitStatus == QProcess::NormalExit && run.exitCode == 0,
                 run.err.right(3000).constData());
        const QString difference = firstDifference(run.lines, session.expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QVERIFY2(run.peakRssKb > 0, "no peak RSS from /proc");
        qInfo("peak RSS of the sidecar: %lld KiB", run.peakRssKb);
        QVERIFY2(run.peakRssKb < kPeakRssLimitKb,
                 qPrintable(QStringLiteral("peak RSS %1 KiB").arg(run.peakRssKb)));
    }

    void fiveThousandTools() {
        IsolatedEnv env;
        const QJsonArray tools = writeCatalogue(env, 5000);
        QCOMPARE(tools.size(), 5000);
        QByteArray input;
        QList<QJsonObject> expected;
        for (int id = 1; id <= 3; ++id) {
            input += R"({"jsonrpc":"2.0","id":)" + number(id) +
                     R"(,"method":"tools/list"})"
                     "\n";
            expected.append(result(id, {{QStringLiteral("tools"), tools}}));
        }
        const StreamRun run =
            streamProcess(sidecarPath(), {}, env.environment(), input, expected.size());
        QVERIFY2(run.stalled.isEmpty(), qPrintable(run.stalled + "\n" + run.err.right(3000)));
        QVERIFY2(run.finished && run.exitCode == 0, run.err.right(3000).constData());
        const QString difference = firstDifference(run.lines, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
};

QTEST_GUILESS_MAIN(StressLoopTest)
#include "tst_stress_loop.moc"
