// The project's indented JSON writer must give exactly the bytes of Qt's own, whatever the
// document: hand-picked odd documents from data/indentedjson, then generated ones.
#include "mcpsetup/setup_internal.h"
#include "support/cases.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>

using namespace quorvelin::mcpsetup;

namespace {

// Any UTF-16 unit, with the troublesome ones (controls, quotes, surrogates) made common.
QString randomText(QRandomGenerator &random) {
    static const char16_t kTricky[] = {0x0,    0x1f,   u'"',   u'\\',  0x7f,   0x80,
                                       0x7ff,  0x800,  0xd800, 0xdbff, 0xdc00, 0xdfff,
                                       0xe000, 0xfffe, 0xffff, u'/',   u'\n',  u'\t'};
    QString text;
    for (int i = random.bounded(12); i > 0; --i)
        text.append(QChar(random.bounded(3) ? char16_t(random.bounded(0x10000))
                                            : kTricky[random.bounded(int(std::size(kTricky)))]));
    return text;
}

QJsonValue randomValue(QRandomGenerator &random, int depth) {
    const int kind = random.bounded(depth > 3 ? 6 : 8);
    if (kind < 6) {
        const QJsonValue scalars[] = {
            QJsonValue::Null,
            random.bounded(2) == 1,
            qint64(random.generate64()),
            std::ldexp(random.generateDouble() - 0.5, random.bounded(-1080, 1030)),
            double(random.bounded(-1000, 1000)),
            randomText(random)};
        return scalars[kind];
    }
    QJsonArray array;
    QJsonObject object;
    for (int i = random.bounded(5); i > 0; --i) {
        array.append(randomValue(random, depth + 1));
        object.insert(randomText(random), array.last());
    }
    return kind == 6 ? QJsonValue(array) : QJsonValue(object);
}

} // namespace

class tst_IndentedJson : public QObject {
    Q_OBJECT

private slots:
    void sameBytesAsQtWriter_data() {
        quorvelin::testsupport::addCaseRows(QStringLiteral(QUORVELIN_INDENTEDJSON_DATA));
        // Random documents reach the corners the hand-made rows forget.
        QRandomGenerator random(7);
        for (int round = 0; round < 300; ++round) {
            QJsonObject root;
            for (int i = random.bounded(8); i > 0; --i)
                root.insert(randomText(random), randomValue(random, 0));
            QTest::addRow("generated %d", round) << QJsonObject{{QStringLiteral("root"), root}};
        }
    }

    void sameBytesAsQtWriter() {
        QFETCH(QJsonObject, testCase);
        QJsonObject root = testCase.value(QStringLiteral("root")).toObject();
        for (auto it = root.begin(); it != root.end(); ++it)
            if (it->toString().startsWith(QLatin1String("@double ")))
                *it = it->toString().mid(8).toDouble();
        const QByteArray expected = QJsonDocument(root).toJson(QJsonDocument::Indented);
        // The size hint only reserves memory: any value gives the same bytes.
        for (const qsizetype hint :
             {qsizetype(0), qsizetype(1), expected.size(), qsizetype(1 << 20)})
            QCOMPARE(indentedJson(root, hint), expected);
    }
};

QTEST_GUILESS_MAIN(tst_IndentedJson)
#include "tst_indentedjson.moc"
