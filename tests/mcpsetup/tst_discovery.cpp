#include "driver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvelin::testsupport;

namespace {

enum class Kind { Release, DevWorld, BuildDir };

// One expected target as "label | path below home | default".
QString row(const QString &label, const QString &relativePath, bool isDefault) {
    return QStringLiteral("%1 | %2 | %3")
        .arg(label, relativePath, isDefault ? QStringLiteral("default") : QStringLiteral("-"));
}

QString releaseDefault() {
    return row(QStringLiteral("本地生产环境（全局）"), QStringLiteral(".claude.json"), true);
}

QString devDefault() {
    return row(QStringLiteral("开发环境（默认）"), QStringLiteral(".claude-dev/.claude.json"),
               true);
}

QString release(int number, const QString &dir) {
    return row(QStringLiteral("实例 %1").arg(number), dir + QStringLiteral("/.claude.json"), false);
}

QString dev(int number, const QString &dir) {
    return row(QStringLiteral("开发实例 %1").arg(number), dir + QStringLiteral("/.claude.json"),
               false);
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class DiscoveryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void targets_data();
    void targets();
    void missingHome();

private:
    QTemporaryDir root_;
    QString copy_;
};

void DiscoveryTest::initTestCase() {
    QVERIFY(root_.isValid());
    QVERIFY2(!root_.path().contains(QLatin1String("/build/")), "temp dir inside a build tree");
    copy_ = copyExecutable(setupProgram(), root_.path());
    QVERIFY(!copy_.isEmpty());
}

void DiscoveryTest::targets_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("dirs");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");

    const QString i = QStringLiteral(".claude-instance-");
    const QString d = QStringLiteral(".claude-dev-instance-");
    const QStringList bothWorlds{QStringLiteral(".claude-dev"), d + QStringLiteral("3"),
                                 i + QStringLiteral("5"), QStringLiteral(".claude")};

    QTest::newRow("release, nothing in home: default alone, even without its file")
        << Kind::Release << QStringList() << QStringList() << QStringList{releaseDefault()};
    QTest::newRow("dev world, nothing in home: dev default alone")
        << Kind::DevWorld << QStringList() << QStringList() << QStringList{devDefault()};
    QTest::newRow("release, numeric order, not name order")
        << Kind::Release
        << QStringList{i + QStringLiteral("10"), i + QStringLiteral("2"), i + QStringLiteral("1")}
        << QStringList()
        << QStringList{releaseDefault(), release(1, i + QStringLiteral("1")),
                       release(2, i + QStringLiteral("2")), release(10, i + QStringLiteral("10"))};
    QTest::newRow("dev build dir, numeric order")
        << Kind::BuildDir << QStringList{d + QStringLiteral("10"), d + QStringLiteral("9")}
        << QStringList()
        << QStringList{devDefault(), dev(9, d + QStringLiteral("9")),
                       dev(10, d + QStringLiteral("10"))};
    QTest::newRow("leading zeros stay in the path, not in the label")
        << Kind::Release << QStringList{i + QStringLiteral("007"), i + QStringLiteral("3")}
        << QStringList()
        << QStringList{releaseDefault(), release(3, i + QStringLiteral("3")),
                       release(7, i + QStringLiteral("007"))};
    QTest::newRow("largest 32-bit number fits, one more overflows to 0 and sorts first")
        << Kind::Release
        << QStringList{i + QStringLiteral("1"), i + QStringLiteral("2147483647"),
                       i + QStringLiteral("2147483648")}
        << QStringList()
        << QStringList{releaseDefault(), release(0, i + QStringLiteral("2147483648")),
                       release(1, i + QStringLiteral("1")),
                       release(2147483647, i + QStringLiteral("2147483647"))};
    QTest::newRow("names that only look like instances are skipped")
        << Kind::Release
        << QStringList{i,
                       i + QStringLiteral("x"),
                       i + QStringLiteral("1-old"),
                       i + QStringLiteral("1.bak"),
                       i + QStringLiteral("+4"),
                       i + QStringLiteral(" 4"),
                       QStringLiteral(".claude-instances-1"),
                       QStringLiteral("claude-instance-1"),
                       QStringLiteral(".Claude-instance-1"),
                       i + QStringLiteral("\u0661")}
        << QStringList() << QStringList{releaseDefault()};
    QTest::newRow("a regular file with an instance name is no instance")
        << Kind::Release << QStringList() << QStringList{i + QStringLiteral("4")}
        << QStringList{releaseDefault()};
    QTest::newRow("release ignores the dev build's directories")
        << Kind::Release << bothWorlds << QStringList()
        << QStringList{releaseDefault(), release(5, i + QStringLiteral("5"))};
    QTest::newRow("dev world ignores the release build's directories")
        << Kind::DevWorld << bothWorlds << QStringList()
        << QStringList{devDefault(), dev(3, d + QStringLiteral("3"))};
    QTest::newRow("build directory without the variable is a dev build too")
        << Kind::BuildDir << bothWorlds << QStringList()
        << QStringList{devDefault(), dev(3, d + QStringLiteral("3"))};
}

void DiscoveryTest::targets() {
    QFETCH(Kind, kind);
    QFETCH(QStringList, dirs);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);

    IsolatedEnv env;
    const QString home = env.home();
    for (const QString &dir : dirs)
        QVERIFY2(QDir(home).mkpath(dir), qPrintable(dir));
    for (const QString &name : files) {
        QFile file(home + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (kind == Kind::DevWorld)
        env.set(QStringLiteral("QUORVELIN_DEV"), QStringLiteral("1"));
    const QString driver = kind == Kind::BuildDir ? setupProgram() : copy_;

    const DriverRun run = drive(driver, {QStringLiteral("claude-targets")}, env.environment());
    QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
    QStringList actual;
    const QJsonArray targets = run.output.array();
    for (const QJsonValue &value : targets) {
        const QJsonObject t = value.toObject();
        QString path = t.value(QStringLiteral("configPath")).toString();
        QVERIFY2(path.startsWith(home + QLatin1Char('/')), qPrintable(path));
        actual << row(t.value(QStringLiteral("label")).toString(), path.mid(home.size() + 1),
                      t.value(QStringLiteral("isDefault")).toBool());
    }
    QCOMPARE(actual, expected);
}

void DiscoveryTest::missingHome() {
    IsolatedEnv env;
    const QString home = env.root() + QStringLiteral("/no-such-home");
    env.set(QStringLiteral("HOME"), home);
    const DriverRun run = drive(copy_, {QStringLiteral("claude-targets")}, env.environment());
    QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
    const QJsonArray targets = run.output.array();
    QCOMPARE(targets.size(), 1);
    QCOMPARE(targets.at(0).toObject().value(QStringLiteral("configPath")).toString(),
             home + QStringLiteral("/.claude.json"));
}

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
