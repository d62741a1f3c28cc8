#include "pathdisplay/folds.h"
#include "pathdisplay/pathdisplay.h"
#include "support/scopedenv.h"

#include <QDir>
#include <QTest>

using namespace quorvelin::pathdisplay;
using quorvelin::testsupport::ScopedEnv;

class tst_PathDisplay : public QObject {
    Q_OBJECT

private slots:
    void maskUnderHome_data();
    void maskUnderHome();
    void forDisplayMatchesMaskWithSlashSeparators();
    void appendFoldTrimsTrailingSlashes_data();
    void appendFoldTrimsTrailingSlashes();
    void orderFoldsDeduplicatesAndPutsLongestFirst();
    void foldsFollowTheHomeDirectoryAtOnce();
};

void tst_PathDisplay::maskUnderHome_data() {
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("masked");

    const QByteArray home = "/Users/user";
    QTest::newRow("file below home") << home << "/Users/user/Library/x.json"
                                     << "~/Library/x.json";
    QTest::newRow("home itself") << home << "/Users/user"
                                 << "~";
    QTest::newRow("home with trailing slash") << home << "/Users/user/"
                                              << "~/";
    QTest::newRow("sibling sharing the prefix") << home << "/Users/username/x"
                                                << "/Users/username/x";
    QTest::newRow("letter case differs") << home << "/Users/USER/x"
                                         << "/Users/USER/x";
    QTest::newRow("outside home") << home << "/tmp/x"
                                  << "/tmp/x";
    QTest::newRow("empty path") << home << ""
                                << "";
    QTest::newRow("Chinese names below home")
        << QByteArray("/home/张三") << "/home/张三/文档/配置.json"
        << "~/文档/配置.json";
    QTest::newRow("HOME given with trailing slash")
        << QByteArray("/Users/user/") << "/Users/user/.codex/config.toml"
        << "~/.codex/config.toml";
    QTest::newRow("HOME given with trailing slash, home itself")
        << QByteArray("/Users/user//") << "/Users/user"
        << "~";
    QTest::newRow("root home folds root") << QByteArray("/") << "/"
                                          << "~";
    QTest::newRow("root home folds a path whose second character is a slash")
        << QByteArray("/") << "//srv/x"
        << "~/srv/x";
    QTest::newRow("root home leaves other absolute paths") << QByteArray("/") << "/tmp/x"
                                                           << "/tmp/x";
    // On a platform with "/" as separator a backslash is an ordinary character.
    QTest::newRow("backslashes stay") << home << "/Users/user\\x"
                                      << "/Users/user\\x";
    QTest::newRow("relative path") << home << "Users/user/x"
                                   << "Users/user/x";
}

void tst_PathDisplay::maskUnderHome() {
    QFETCH(QByteArray, home);
    QFETCH(QString, path);
    QFETCH(QString, masked);
    const ScopedEnv scopedHome("HOME", home);
    QCOMPARE(mask(path), masked);
}

void tst_PathDisplay::forDisplayMatchesMaskWithSlashSeparators() {
    const ScopedEnv scopedHome("HOME", "/Users/user");
    QCOMPARE(forDisplay(QString()), QString());
    QCOMPARE(forDisplay(QStringLiteral("/Users/user/.cursor/mcp.json")),
             QDir::toNativeSeparators(QStringLiteral("~/.cursor/mcp.json")));
    QCOMPARE(forDisplay(QStringLiteral("/opt/q")),
             QDir::toNativeSeparators(QStringLiteral("/opt/q")));
}

void tst_PathDisplay::appendFoldTrimsTrailingSlashes_data() {
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("prefixes");

    QTest::newRow("plain") << "/Users/user" << QStringList{"/Users/user"};
    QTest::newRow("one trailing slash") << "/Users/user/" << QStringList{"/Users/user"};
    QTest::newRow("several trailing slashes") << "/Users/user///" << QStringList{"/Users/user"};
    QTest::newRow("root stays root") << "/" << QStringList{"/"};
    QTest::newRow("slashes only collapse to root") << "///" << QStringList{"/"};
    QTest::newRow("empty adds nothing") << "" << QStringList{};
}

void tst_PathDisplay::appendFoldTrimsTrailingSlashes() {
    QFETCH(QString, directory);
    QFETCH(QStringList, prefixes);
    QList<Fold> rules;
    appendFold(rules, QStringLiteral("~"), directory);
    QStringList got;
    for (const Fold &rule : rules)
        got.append(rule.token + QLatin1Char('=') + rule.prefix);
    QStringList expected;
    for (const QString &prefix : prefixes)
        expected.append(QStringLiteral("~=") + prefix);
    QCOMPARE(got, expected);
}

void tst_PathDisplay::orderFoldsDeduplicatesAndPutsLongestFirst() {
    const QList<Fold> raw{{"a", "/x"}, {"b", "/x/longer"}, {"c", "/X"}, {"d", "/x/mid"}};
    QStringList got;
    for (const Fold &rule : orderFolds(raw))
        got.append(rule.token + QLatin1Char('=') + rule.prefix);
    QCOMPARE(got, (QStringList{"b=/x/longer", "d=/x/mid", "a=/x"}));
}

void tst_PathDisplay::foldsFollowTheHomeDirectoryAtOnce() {
    {
        const ScopedEnv scopedHome("HOME", "/home/one");
        QCOMPARE(mask(QStringLiteral("/home/one/a")), QStringLiteral("~/a"));
    }
    const ScopedEnv scopedHome("HOME", "/home/two");
    QCOMPARE(mask(QStringLiteral("/home/one/a")), QStringLiteral("/home/one/a"));
    QCOMPARE(folds().size(), 1);
    QCOMPARE(folds().constFirst().prefix, QStringLiteral("/home/two"));
}

QTEST_GUILESS_MAIN(tst_PathDisplay)
#include "tst_pathdisplay.moc"
