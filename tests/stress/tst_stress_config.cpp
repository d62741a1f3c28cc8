// A configuration file of 20 MB in every dialect: install and remove keep every byte of it that
// is not ours, and each backup is the file as it was. The files grow from the templates in data/.
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/setup_internal.h"
#include "support/cases.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvelin::mcpsetup;
using quorvelin::testsupport::readFile;
using quorvelin::testsupport::writeFile;

Q_DECLARE_METATYPE(ClientFormat)

namespace {

// The file the dialect's template in data/ describes, before our install or as expected after it.
QByteArray expand(ClientFormat format, const QString &container, bool installed) {
    const bool toml = format == ClientFormat::CodexToml;
    const QByteArray entry =
        toml ? codexOurSectionLines().join(QLatin1Char('\n')).toUtf8()
             : QJsonDocument(buildJsonEntry(format)).toJson(QJsonDocument::Compact);
    const QByteArray source = readFile(
        QStringLiteral(QUORVELIN_STRESS_DATA "/config-%1.txt").arg(toml ? "toml" : "json"));
    QByteArray text;
    for (const QByteArray &part : source.split('@').mid(1)) {
        const qsizetype end = part.indexOf('\n');
        const QByteArray head = part.left(end);
        const int count = head == "installed" ? int(installed) : qMax(1, head.mid(7).toInt());
        for (int n = 0; n < count; ++n)
            text += part.mid(end + 1)
                        .replace("$i", QByteArray::number(n))
                        .replace("$container", container.toUtf8())
                        .replace("$name", serverEntryName().toUtf8())
                        .replace("$entry", entry);
    }
    return text;
}

// JSON is compared by content (the layout is our writer's), TOML byte for byte.
QByteArray canonical(const QByteArray &bytes, ClientFormat format) {
    return format == ClientFormat::CodexToml
               ? bytes
               : QJsonDocument::fromJson(bytes).toJson(QJsonDocument::Compact);
}

} // namespace

class StressConfigTest : public QObject {
    Q_OBJECT

private slots:
    void twentyMegabytes_data() {
        QTest::addColumn<ClientFormat>("format");
        QTest::addColumn<QString>("container");
        QTest::newRow("mcpServers JSON")
            << ClientFormat::McpServersJson << QStringLiteral("mcpServers");
        QTest::newRow("Zed settings")
            << ClientFormat::ZedContextServers << QStringLiteral("context_servers");
        QTest::newRow("OpenCode") << ClientFormat::OpenCodeMcp << QStringLiteral("mcp");
        QTest::newRow("Codex TOML") << ClientFormat::CodexToml << QString();
    }

    void twentyMegabytes() {
        QFETCH(ClientFormat, format);
        QFETCH(QString, container);
        const QByteArray original = expand(format, container, false);
        QVERIFY(original.size() > 20 * 1024 * 1024);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config"));
        QVERIFY(writeFile(path, original));

        const InstallResult installed = installToFile(path, format);
        QVERIFY2(installed.ok, qPrintable(installed.message));
        QVERIFY(readFile(installed.backupPath) == original);
        const QByteArray afterInstall = readFile(path);
        QVERIFY(canonical(afterInstall, format) ==
                canonical(expand(format, container, true), format));

        const InstallResult removed = removeFromFile(path, format);
        QVERIFY2(removed.ok && removed.replaced, qPrintable(removed.message));
        QVERIFY(readFile(removed.backupPath) == afterInstall);
        QVERIFY(canonical(readFile(path), format) == canonical(original, format));
    }
};

QTEST_GUILESS_MAIN(StressConfigTest)
#include "tst_stress_config.moc"
