#include "pathdisplay/folds.h"
#include "pathdisplay/pathdisplay.h"
#include "support/cases.h"

#include <QDir>
#include <QJsonArray>
#include <QTest>

using namespace quorvelin::pathdisplay;
using namespace quorvelin::testsupport;

// Replays data/*.json: "path" masked under the row's HOME, or the "folds" rules ordered.
class tst_PathDisplay : public QObject {
    Q_OBJECT

private slots:
    void cases_data() { addCaseRows(QStringLiteral(QUORVELIN_PATHDISPLAY_DATA)); }
    void cases();
};

void tst_PathDisplay::cases() {
    QFETCH(QJsonObject, testCase);
    const auto env = caseEnv(testCase);
    if (testCase.contains(QStringLiteral("folds"))) {
        QList<Fold> raw;
        for (const QJsonValue &rule : testCase.value(QStringLiteral("folds")).toArray())
            raw.append({rule.toString().section(QLatin1Char('='), 0, 0),
                        rule.toString().section(QLatin1Char('='), 1)});
        QStringList ordered;
        for (const Fold &rule : orderFolds(raw))
            ordered.append(rule.token + QLatin1Char('=') + rule.prefix);
        QCOMPARE(ordered, testCase.value(QStringLiteral("ordered")).toVariant().toStringList());
        return;
    }
    const QString path = testCase.value(QStringLiteral("path")).toString();
    const QString masked = testCase.value(QStringLiteral("masked")).toString();
    QCOMPARE(mask(path), masked);
    QCOMPARE(forDisplay(path), QDir::toNativeSeparators(masked));
}

QTEST_GUILESS_MAIN(tst_PathDisplay)
#include "tst_pathdisplay.moc"
