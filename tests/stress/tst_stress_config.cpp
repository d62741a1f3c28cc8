// A configuration file of 20 MB in every dialect: install and remove keep every byte of it that
// is not ours, and each backup is the file as it was.
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/setup_internal.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvelin::mcpsetup;

Q_DECLARE_METATYPE(ClientFormat)

namespace {

constexpr qsizetype kTwentyMegabytes = 20 * 1024 * 1024;

QByteArray readBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Written by hand in a layout of its own (two-space indent, escapes, Chinese), not by Qt.
QByteArray bigJson(const QByteArray &container) {
    QByteArray text = "{\n  \"" + container + "\": {\n";
    int server = 0;
    while (text.size() < kTwentyMegabytes / 2) {
        text += "    \"server-" + QByteArray::number(server) +
                "\": { \"command\": \"/opt/tools/mcp-" + QByteArray::number(server) +
                "\", \"args\": [\"--port\", \"" + QByteArray::number(9000 + server % 1000) +
                "\", \"\\u4e2d\\\"q\\\"\"], \"env\": { \"TOKEN\": \"t" +
                QByteArray::number(server) + "\" } },\n";
        ++server;
    }
    text += "    \"last\": { \"command\": \"npx\", \"args\": [] }\n  },\n  \"history\": [\n";
    while (text.size() < kTwentyMegabytes)
        text += "    \"打开了 /Users/林/项目/" + QByteArray::number(text.size()) + " — ok\",\n";
    text += "    null\n  ],\n  \"theme\": \"dark\"\n}\n";
    return text;
}

QByteArray bigToml() {
    QByteArray text = "# 20 MB of servers\nmodel = \"default\"\n\n";
    int server = 0;
    while (text.size() < kTwentyMegabytes) {
        text += "[mcp_servers.server_" + QByteArray::number(server) + "]\ncommand = \"/opt/" +
                QByteArray::number(server) + "\"\nargs = [\"-v\", \"中文\"]\n# note " +
                QByteArray::number(server) + "\n\n[mcp_servers.server_" +
                QByteArray::number(server) + ".env]\nKEY = \"" + QByteArray::number(server) +
                "\"\n\n";
        ++server;
    }
    text += "[profiles.last]\nmodel = \"small\"\n";
    return text;
}

QJsonObject withoutOurEntry(QJsonObject root, const QString &container) {
    QJsonObject servers = root.value(container).toObject();
    servers.remove(serverEntryName());
    root.insert(container, servers);
    return root;
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
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("config"));
        const bool toml = format == ClientFormat::CodexToml;
        const QByteArray original = toml ? bigToml() : bigJson(container.toUtf8());
        QVERIFY(original.size() > kTwentyMegabytes);
        QVERIFY(writeBytes(path, original));

        const InstallResult installed = installToFile(path, format);
        QVERIFY2(installed.ok, qPrintable(installed.message));
        QVERIFY(!installed.backupPath.isEmpty());
        QVERIFY(readBytes(installed.backupPath) == original);
        const QByteArray afterInstall = readBytes(path);
        if (toml) {
            const QByteArray ours = codexOurSectionLines().join(QLatin1Char('\n')).toUtf8();
            QVERIFY(afterInstall == original + '\n' + ours + '\n');
        } else {
            QJsonParseError error;
            const QJsonObject root = QJsonDocument::fromJson(afterInstall, &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(root.value(container).toObject().value(serverEntryName()).toObject(),
                     buildJsonEntry(format));
            QVERIFY(withoutOurEntry(root, container) == QJsonDocument::fromJson(original).object());
        }

        const InstallResult removed = removeFromFile(path, format);
        QVERIFY2(removed.ok && removed.replaced, qPrintable(removed.message));
        QVERIFY(readBytes(removed.backupPath) == afterInstall);
        const QByteArray afterRemove = readBytes(path);
        if (toml)
            QVERIFY(afterRemove == original);
        else
            QVERIFY(QJsonDocument::fromJson(afterRemove).object() ==
                    QJsonDocument::fromJson(original).object());
    }
};

QTEST_GUILESS_MAIN(StressConfigTest)
#include "tst_stress_config.moc"
