// The dev-world test and the sidecar location in-process. This binary lies in the build tree,
// so it is a development build whatever the variable says; the release rows of the truth table
// run against copies of the sidecar in tst_sidecar_process.
#include "mcpsetup/identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QtTest>

using namespace quorvelin::mcpsetup;

class IdentityTest : public QObject {
    Q_OBJECT

private slots:
    void devWorld_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("devWorld");
        QTest::newRow("unset") << QByteArray() << false;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("0") << QByteArray("0") << true;
        QTest::newRow("false") << QByteArray("false") << true;
        QTest::newRow("no") << QByteArray("no") << true;
        QTest::newRow("blank") << QByteArray(" ") << true;
    }

    void devWorld() {
        QFETCH(QByteArray, value);
        QFETCH(bool, devWorld);
        if (value.isNull())
            qunsetenv("QUORVELIN_DEV");
        else
            qputenv("QUORVELIN_DEV", value);
        QCOMPARE(isDevWorld(), devWorld);
        QVERIFY(isDevBuild());
        QCOMPARE(serverEntryName(), QStringLiteral("quorvelin-dev"));
        qunsetenv("QUORVELIN_DEV");
    }

    void sidecarBesideTheExecutable() {
        const QString dir = QCoreApplication::applicationDirPath();
        QCOMPARE(sidecarExePath(),
                 QDir::toNativeSeparators(dir + QStringLiteral("/quorvelin-mcp")));
        QCOMPARE(currentExePath(),
                 QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    }
};

QTEST_GUILESS_MAIN(IdentityTest)
#include "tst_identity.moc"
