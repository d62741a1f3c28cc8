#include "pathdisplay/pathdisplay.h"
#include "support/cases.h"

#include <QDir>
#include <QJsonArray>
#include <QTest>

using namespace quorvelin::pathdisplay;
using namespace quorvelin::testsupport;

// Replays data/*.json: "path" masked under the row's HOME.
class tst_PathDisplay : public QObject {
    Q_OBJECT

private slots:
    void cases_data() { addCaseRows(QStringLiteral(QUORVELIN_PATHDISPLAY_DATA)); }
    void cases();
};

void tst_PathDisplay::cases() {
    QFETCH(QJsonObject, testCase);
    const auto env = caseEnv(testCase);
    const QString path = testCase.value(QStringLiteral("path")).toString();
    const QString masked = testCase.value(QStringLiteral("masked")).toString();
    QCOMPARE(mask(path), masked);
    QCOMPARE(forDisplay(path), QDir::toNativeSeparators(masked));
}

QTEST_GUILESS_MAIN(tst_PathDisplay)
#include "tst_pathdisplay.moc"
