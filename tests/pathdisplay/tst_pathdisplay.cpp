// Paths shown to the user: mask() and forDisplay() of a path under a given HOME.
#include "mcpsetup/setuptest.h"
#include "pathdisplay/pathdisplay.h"
#include "support/scopedenv.h"

#include <QDir>

using namespace quorvelin::pathdisplay;

class tst_PathDisplay : public QObject {
    Q_OBJECT

private slots:
    void mask_data() {
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("masked");
        setuptest::row("below home", "/Users/张 三", "/Users/张 三/文档/a.json", "~/文档/a.json");
        setuptest::row("home itself, HOME with slashes", "/Users/u//", "/Users/u", "~");
        setuptest::row("a sibling sharing the prefix", "/Users/u", "/Users/uv/x", "/Users/uv/x");
        setuptest::row("letter case differs", "/Users/u", "/Users/U/x", "/Users/U/x");
        setuptest::row("relative", "/Users/u", "Users/u/x", "Users/u/x");
        setuptest::row("empty", "/Users/u", "", "");
        setuptest::row("root as home", "/", "//srv/x", "~/srv/x");
        setuptest::row("root as home, other paths", "///", "/tmp/x", "/tmp/x");
    }
    void mask() {
        QFETCH(QString, home);
        QFETCH(QString, path);
        QFETCH(QString, masked);
        const quorvelin::testsupport::ScopedEnv env("HOME", QFile::encodeName(home));
        QCOMPARE(quorvelin::pathdisplay::mask(path), masked);
        QCOMPARE(forDisplay(path), QDir::toNativeSeparators(masked));
    }
};

QTEST_GUILESS_MAIN(tst_PathDisplay)
#include "tst_pathdisplay.moc"
