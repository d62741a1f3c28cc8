#include "mcpsetup/setup_internal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

using namespace quorvelin::mcpsetup;

namespace {

QString units(std::initializer_list<char16_t> list) {
    QString text;
    for (const char16_t unit : list)
        text.append(QChar(unit));
    return text;
}

QJsonObject parsed(const char *text) {
    return QJsonDocument::fromJson(text).object();
}

// Any UTF-16 unit, with the troublesome ones (controls, quotes, surrogates) made common.
QString randomText(QRandomGenerator &random) {
    static const char16_t kTricky[] = {0x0,    0x1f,   u'"',   u'\\',  0x7f,   0x80,
                                       0x7ff,  0x800,  0xd800, 0xdbff, 0xdc00, 0xdfff,
                                       0xe000, 0xfffe, 0xffff, u'/',   u'\n',  u'\t'};
    QString text;
    const int length = random.bounded(12);
    for (int i = 0; i < length; ++i) {
        const char16_t unit = random.bounded(3) == 0
                                  ? kTricky[random.bounded(int(std::size(kTricky)))]
                                  : char16_t(random.bounded(0x10000));
        text.append(QChar(unit));
    }
    return text;
}

QJsonValue randomValue(QRandomGenerator &random, int depth) {
    switch (random.bounded(depth > 3 ? 6 : 8)) {
    case 0:
        return QJsonValue::Null;
    case 1:
        return random.bounded(2) == 1;
    case 2:
        return qint64(random.generate64());
    case 3:
        return std::ldexp(random.generateDouble() - 0.5, random.bounded(-1080, 1030));
    case 4:
        return double(random.bounded(-1000, 1000));
    case 5:
        return randomText(random);
    case 6: {
        QJsonArray array;
        for (int i = random.bounded(5); i > 0; --i)
            array.append(randomValue(random, depth + 1));
        return array;
    }
    default: {
        QJsonObject object;
        for (int i = random.bounded(5); i > 0; --i)
            object.insert(randomText(random), randomValue(random, depth + 1));
        return object;
    }
    }
}

} // namespace

class tst_IndentedJson : public QObject {
    Q_OBJECT

private slots:
    void sameBytesAsQtWriter_data();
    void sameBytesAsQtWriter();
    void sameBytesForGeneratedDocuments();
    void sizeHintChangesNothing();
};

void tst_IndentedJson::sameBytesAsQtWriter_data() {
    QTest::addColumn<QJsonObject>("root");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("empty root") << QJsonObject();
    QTest::newRow("empty containers at depth")
        << QJsonObject{{"a", QJsonObject()},
                       {"b", QJsonArray{QJsonArray(), QJsonObject(), QJsonArray{QJsonArray()}}}};
    QTest::newRow("keys come out sorted")
        << QJsonObject{{"zeta", 1}, {"Alpha", 2}, {"alpha", 3}, {"", 4}, {"é", 5}};
    QTest::newRow("null and booleans")
        << QJsonObject{{"n", QJsonValue::Null}, {"t", true}, {"f", false}};
    QTest::newRow("short escapes and control characters")
        << QJsonObject{{"s", units({u'"', u'\\', u'\b', u'\f', u'\n', u'\r', u'\t', 0x0, 0x1, 0x1f,
                                    0x20, u'/', 0x7f})}};
    QTest::newRow("escapes in keys") << QJsonObject{{"a\"b\\c\nd", "v"}};
    QTest::newRow("two- and three-byte UTF-8")
        << QJsonObject{{"s", units({0x80, 0x7ff, 0x800, 0xd7ff, 0xe000, 0xfffd, 0xffff})},
                       {"中文键", "请找出错误 —— 全角(括号)"}};
    QTest::newRow("surrogate pair becomes four bytes") << QJsonObject{{"s", "😀𝄞"}};
    QTest::newRow("unpaired surrogates")
        << QJsonObject{{"high at end", units({u'a', 0xd83d})},
                       {"high before a letter", units({0xd83d, u'a'})},
                       {"low alone", units({0xde00, u'b'})},
                       {"pair reversed", units({0xde00, 0xd83d})},
                       {"two highs then low", units({0xd83d, 0xd83d, 0xde00})}};
    QTest::newRow("numbers built in code")
        << QJsonObject{{"zero", 0},
                       {"negative zero", -0.0},
                       {"half", 0.5},
                       {"third", 1.0 / 3},
                       {"big", 1e300},
                       {"tiny", 5e-324},
                       {"integral double", 42.0},
                       {"2^53+1", qint64(9007199254740993LL)},
                       {"int64 max", std::numeric_limits<qint64>::max()},
                       {"int64 min", std::numeric_limits<qint64>::min()},
                       {"2^60 as double", 1152921504606846976.0},
                       {"infinity", inf},
                       {"minus infinity", -inf},
                       {"not a number", std::numeric_limits<double>::quiet_NaN()}};
    QTest::newRow("numbers from the parser")
        << parsed(R"({"a":1.0,"b":1e2,"c":-0,"d":12345678901234567890,"e":0.1,"f":-7,)"
                  R"("g":1.5e-7,"h":9223372036854775807,"i":-9223372036854775808})");
    QTest::newRow("escapes from the parser")
        << parsed(R"({"a":"\u00e9\u0000\/\ud83d\ude00","b":"\ud800x","c":"\udc00"})");
    QTest::newRow("nested arrays and objects")
        << parsed(R"({"projects":{"/p":{"history":[{"display":"x","pasted":{}}],)"
                  R"("allowedTools":[],"mcpServers":{"s":{"args":["-a",1,true,null]}}}}})");
    QTest::newRow("duplicate keys: the parser keeps one") << parsed(R"({"a":1,"a":2})");
}

void tst_IndentedJson::sameBytesAsQtWriter() {
    QFETCH(QJsonObject, root);
    QCOMPARE(indentedJson(root), QJsonDocument(root).toJson(QJsonDocument::Indented));
}

// Random documents reach the corners the rows above forget.
void tst_IndentedJson::sameBytesForGeneratedDocuments() {
    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        QJsonObject root;
        for (int i = random.bounded(8); i > 0; --i)
            root.insert(randomText(random), randomValue(random, 0));
        const QByteArray expected = QJsonDocument(root).toJson(QJsonDocument::Indented);
        const QByteArray actual = indentedJson(root);
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("round %1 differs:\n%2\n---\n%3")
                                 .arg(round)
                                 .arg(QString::fromUtf8(expected), QString::fromUtf8(actual))));
    }
}

void tst_IndentedJson::sizeHintChangesNothing() {
    const QJsonObject root = parsed(R"({"a":[1,2,{"b":"c"}],"d":"e"})");
    const QByteArray expected = QJsonDocument(root).toJson(QJsonDocument::Indented);
    for (const qsizetype hint : {qsizetype(0), qsizetype(1), expected.size(), qsizetype(1 << 20)})
        QCOMPARE(indentedJson(root, hint), expected);
}

QTEST_GUILESS_MAIN(tst_IndentedJson)
#include "tst_indentedjson.moc"
