// Long and hostile sessions against the real sidecar: whatever arrives, every request that should
// be answered is answered exactly, in order, nothing else is written, and memory stays bounded.
// The sessions come from the kind tables in data/ (their format is described in data/mix.txt);
// hostile GUI programs on the far end of the bridge are modes of the stand-in.
#include "mcpproto/initialize.h"
#include "mcpproto/prompts.h"
#include "support/cases.h"
#include "support/peers.h"
#include "support/processenv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>

using namespace quorvelin;
using namespace quorvelin::testsupport;

namespace {

// Generous: a 50 MB line is held a few times over while it is parsed, far below what an
// unbounded read of a flood would need.
constexpr qint64 kPeakRssLimitKb = 1536 * 1024;

struct Kind {
    QByteArray weight; // a number, "middle" or "last"
    QList<QByteArray> lines;
};

// A session generated from a kind table: what to send and the answers it must get.
class Session {
public:
    Session(const QString &path, const QJsonArray &tools) {
        QFile file(path);
        for (const QByteArray &line :
             file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>()) {
            if (line.startsWith("== "))
                kinds_.append({line.mid(3, line.indexOf(' ', 3) - 3), {}});
            else if (!kinds_.isEmpty() && !line.isEmpty() && QByteArray("=><").contains(line[0]))
                kinds_.last().lines.append(line);
        }
        fixed_ = {{"tools", shown(tools).toUtf8()},
                  {"prompts", shown(mcpproto::promptsList()).toUtf8()}};
    }

    // `total` messages drawn from the kinds by weight, the "middle" kind halfway, "last" last.
    void build(int total) {
        QList<const Kind *> deck;
        for (const Kind &kind : std::as_const(kinds_))
            deck.append(QList<const Kind *>(kind.weight.toInt(), &kind));
        const Kind *middle = kind("middle");
        while (messages < total && !deck.isEmpty())
            add(middle && messages >= total / 2 ? *std::exchange(middle, nullptr)
                                                : *deck.at(below(deck.size())));
        if (kind("last"))
            add(*kind("last"));
    }

    int below(qsizetype n) { return random_.bounded(int(n)); }
    QByteArray expand(const QByteArray &text);

    QByteArray input;
    QList<QJsonObject> expected;
    QString broken; // expected answers that are not JSON objects, unknown directives
    int messages = 0;

private:
    const Kind *kind(const QByteArray &weight) const {
        for (const Kind &kind : kinds_)
            if (kind.weight == weight)
                return &kind;
        return nullptr;
    }
    void add(const Kind &kind) {
        vars_ = fixed_;
        vars_.insert("n", QByteArray::number(messages));
        for (const QByteArray &line : kind.lines) {
            const QByteArray text = line.mid(2);
            if (line.startsWith('=')) {
                vars_.insert(text.left(text.indexOf(' ')), expand(text.mid(text.indexOf(' ') + 1)));
            } else if (line.startsWith('>')) {
                input += expand(text) + '\n';
                ++messages;
            } else {
                const QJsonDocument answer = QJsonDocument::fromJson(expand(text));
                broken += answer.isObject() ? QString() : QString::fromUtf8("not JSON: " + text);
                expected.append(answer.object());
            }
        }
    }
    QByteArray directive(const QByteArray &body);

    QList<Kind> kinds_;
    QHash<QByteArray, QByteArray> fixed_, vars_;
    QRandomGenerator random_{6};
};

// Each gets the text after its name (and after its two bounds when it has them) and a count
// drawn between the bounds.
struct Directive {
    const char *name;
    bool bounds;
    QByteArray (*run)(Session &s, const QByteArray &text, int count);
};
const Directive kDirectives[] = {
    {"x", false, [](Session &, const QByteArray &t, int) { return QByteArray::fromHex(t); }},
    {"byte", false,
     [](Session &s, const QByteArray &, int) { return QByteArray(1, char(11 + s.below(255))); }},
    {"pick", false,
     [](Session &s, const QByteArray &t, int) {
         const QList<QByteArray> choices = t.split('|');
         return s.expand(choices.at(s.below(choices.size())));
     }},
    {"repeat", true,
     [](Session &s, const QByteArray &t, int n) {
         QByteArray out = t.contains('$') ? QByteArray() : t.repeated(n);
         for (int i = 0; out.isEmpty() && i < n; ++i)
             out += s.expand(t);
         return out;
     }},
    {"prefix", false,
     [](Session &s, const QByteArray &t, int) {
         const QByteArray whole = s.expand(t);
         return whole.left(1 + s.below(whole.size() - 1));
     }},
    {"initialize", false,
     [](Session &s, const QByteArray &t, int) {
         return shown(mcpproto::initializeResult(QString::fromUtf8(s.expand(t)))).toUtf8();
     }},
    {"prompt", false,
     [](Session &s, const QByteArray &t, int) {
         const QList<QByteArray> w = s.expand(t).split(' ');
         return shown(mcpproto::promptGet(QString::fromUtf8(w.at(0)),
                                          QJsonDocument::fromJson(w.value(1)).object()))
             .toUtf8();
     }},
};

QByteArray Session::expand(const QByteArray &text) {
    QByteArray out;
    for (qsizetype i = 0, at = 0; i < text.size(); i = at) {
        at = text.indexOf('$', i);
        out += text.mid(i, at < 0 ? -1 : at - i);
        if (at++ < 0)
            break;
        const qsizetype start = at + (text.mid(at, 1) == "(");
        if (start > at) {
            for (int depth = 1; depth > 0 && ++at < text.size();)
                depth += text.mid(at, 2) == "$(" ? 1 : text.at(at) == ')' ? -1 : 0;
            out += directive(text.mid(start, at++ - start));
        } else {
            while (at < text.size() && std::islower(uchar(text.at(at))))
                ++at;
            out += vars_.value(text.mid(start, at - start));
        }
    }
    return out;
}

QByteArray Session::directive(const QByteArray &body) {
    const QList<QByteArray> w = body.split(' ');
    for (const Directive &d : kDirectives) {
        if (w.at(0) != d.name)
            continue;
        const int low = w.value(1).toInt(), high = w.value(2).toInt();
        const qsizetype skip =
            w.at(0).size() + 1 + (d.bounds ? w.value(1).size() + w.value(2).size() + 2 : 0);
        return d.run(*this, body.mid(skip), d.bounds ? low + below(high - low + 1) : 0);
    }
    broken += QStringLiteral("unknown directive ") + QString::fromUtf8(body.left(40));
    return QByteArray();
}

// The catalogue file of `count` tools, each with a schema of its own.
QJsonArray writeCatalogue(const IsolatedEnv &env, int count) {
    QJsonArray tools;
    for (int i = 0; i < count; ++i)
        tools.append(QJsonDocument::fromJson(
                         QStringLiteral(
                             "{\"name\":\"tool_%1\",\"description\":\"工具 %1 · does thing "
                             "%1\",\"inputSchema\":{\"type\":\"object\",\"properties\":{\"id\":{"
                             "\"type\":\"integer\"},\"note\":{\"type\":\"string\",\"description\":"
                             "\"说明 %1 \\\"quoted\\\"\\n\"}},\"required\":[\"id\"]}}")
                             .arg(i)
                             .toUtf8())
                         .object());
    const QJsonDocument document(QJsonObject{{QStringLiteral("tools"), tools}});
    return writeFile(env.appDataDir(false) + QStringLiteral("/mcp-tools.json"), document.toJson())
               ? tools
               : QJsonArray();
}

QString describe(const QByteArray &text) {
    return QString::fromUtf8(text.size() > 300 ? text.left(300) + "..." : text);
}

// The first answer that differs, or an empty string.
QString firstDifference(const QList<QByteArray> &lines, const QList<QJsonObject> &expected) {
    for (qsizetype i = 0; i < qMin(lines.size(), expected.size()); ++i) {
        const QJsonDocument answer = QJsonDocument::fromJson(lines.at(i));
        if (!answer.isObject() || answer.object() != expected.at(i))
            return QStringLiteral("answer %1 is\n  %2\nexpected\n  %3")
                .arg(i)
                .arg(describe(lines.at(i)),
                     describe(QJsonDocument(expected.at(i)).toJson(QJsonDocument::Compact)));
    }
    return lines.size() == expected.size()
               ? QString()
               : QStringLiteral("%1 answers, expected %2").arg(lines.size()).arg(expected.size());
}

} // namespace

class StressLoopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(sidecarPath()), qPrintable(sidecarPath())); }

    void session_data() {
        QTest::addColumn<QString>("kinds");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("tools");
        QTest::addColumn<QString>("bridge"); // the stand-in's behaviour; none when empty
        QTest::newRow("100,000 hostile messages with a 50 MB line")
            << "mix.txt" << 100000 << 3 << QString();
        QTest::newRow("5,000-tool catalogue") << "catalogue.txt" << 3 << 5000 << QString();
        QTest::newRow("a 50 MB bridge reply line")
            << "bridge-big.txt" << 0 << 0 << QStringLiteral("big:bytes=52428800");
        QTest::newRow("a bridge flood without a line feed")
            << "bridge-flood.txt" << 0 << 0 << QStringLiteral("flood");
    }

    void session() {
        QFETCH(QString, kinds);
        QFETCH(int, messages);
        QFETCH(int, tools);
        QFETCH(QString, bridge);
        IsolatedEnv env;
        Session session(QStringLiteral(QUORVELIN_STRESS_DATA "/") + kinds,
                        writeCatalogue(env, tools));
        session.build(messages);
        QVERIFY2(session.broken.isEmpty() && !session.expected.isEmpty(),
                 qPrintable(QStringLiteral("bad kind table: ") + session.broken));
        qInfo("%d messages, %lld answered, %lld bytes", session.messages,
              qint64(session.expected.size()), qint64(session.input.size()));
        BridgeSimProcess sim(env.root() + QStringLiteral("/bridge.log"));
        if (!bridge.isEmpty())
            QVERIFY2(sim.start(env.environment(), {QStringLiteral("--next"), bridge}),
                     qPrintable(sim.error()));

        const StreamRun run = streamProcess(sidecarPath(), {}, env.environment(), session.input,
                                            session.expected.size(), 120000);
        QVERIFY2(run.stalled.isEmpty(), qPrintable(run.stalled + "\n" + run.err.right(3000)));
        QVERIFY2(run.finished && run.exitStatus == QProcess::NormalExit && run.exitCode == 0,
                 run.err.right(3000).constData());
        const QString difference = firstDifference(run.lines, session.expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        qInfo("peak RSS of the sidecar: %lld KiB", run.peakRssKb);
        QVERIFY2(run.peakRssKb > 0 && run.peakRssKb < kPeakRssLimitKb,
                 qPrintable(QStringLiteral("peak RSS %1 KiB").arg(run.peakRssKb)));
    }
};

QTEST_GUILESS_MAIN(StressLoopTest)
#include "tst_stress_loop.moc"
