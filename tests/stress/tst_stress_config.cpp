// A configuration file of over 20 MB in every dialect: install and remove keep all of it that is
// not ours (Codex byte for byte, JSON member for member), and each backup is the file as it was.
#include "mcpsetup/install.h"
#include "mcpsetup/setup_internal.h"
#include "mcpsetup/setuptest.h"

#include <QJsonDocument>
#include <QTemporaryDir>

using namespace quorvelin::mcpsetup;
using setuptest::readAll;

class StressConfigTest : public QObject {
    Q_OBJECT

private slots:
    void twentyMegabytes_data() {
        QTest::addColumn<int>("format");
        for (const int format : {0, 1, 2, 3})
            QTest::addRow("%s", dialect(ClientFormat(format)).containerKey) << format;
    }
    void twentyMegabytes() {
        QFETCH(int, format);
        const bool toml = dialect(ClientFormat(format)).file.toml;
        QByteArray text = toml ? "\n[mcp_servers.s]\nx = '中\"'\n[mcp_servers.s.e]\n"
                               : "\"s\": {\"c\": \"中\\\"\"}, ";
        QByteArray original =
            toml ? "x = 1\n"
                 : "{\"" + QByteArray(dialect(ClientFormat(format)).containerKey) + "\": {";
        for (int i = 0; original.size() < 21 << 20; ++i)
            original += QByteArray(text).replace("s", "s" + QByteArray::number(i));
        original += toml ? "" : "\"z\": {}}}";
        QTemporaryDir dir;
        const QString path = dir.filePath("config");
        QVERIFY(setuptest::write(path, original));
        const InstallResult installed = installToFile(path, ClientFormat(format));
        const QByteArray afterInstall = readAll(path);
        const InstallResult removed = removeFromFile(path, ClientFormat(format));
        QVERIFY(installed.ok && removed.replaced && readAll(removed.backupPath) == afterInstall);
        QVERIFY(readAll(installed.backupPath) == original);
        QVERIFY(toml ? readAll(path) == original
                     : QJsonDocument::fromJson(readAll(path)) == QJsonDocument::fromJson(original));
    }
};

QTEST_GUILESS_MAIN(StressConfigTest)
#include "tst_stress_config.moc"
