#include "mcpsetup/clients.h"
#include "mcpsetup/entry.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/integration.h"
#include "mcpsetup/setup_internal.h"
#include "setuptest.h"
#include "support/processenv.h"
#include "support/scopedenv.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

using namespace quorvelin::mcpsetup;
using quorvelin::testsupport::InProcessHome;
using quorvelin::testsupport::LogCapture;
using quorvelin::testsupport::ScopedEnv;
using setuptest::backupsBeside;
using setuptest::fixture;
using setuptest::readBytes;
using setuptest::writeBytes;

namespace {

const QString kSidecarMissing = QStringLiteral(
    "未找到 MCP sidecar:%1\n（它应与 quor-velin 主程序在同一目录）。可能是安装包未携带或被杀软删除 "
    "—— 请重新安装 Quorvelin 后再接入。");
const QString kSidecarMissingLog = QStringLiteral("MCP install 中止:sidecar 不存在 · %1");
const QString kCannotCreateDir = QStringLiteral("无法创建目录：%1");
const QString kBackupFailed = QStringLiteral("备份失败：%1");
const QString kCannotRead = QStringLiteral("无法读取：%1");
const QString kParseFailed =
    QStringLiteral("原文件 JSON 解析失败：%1（已备份到 %2，未修改原文件）");
const QString kCannotWrite = QStringLiteral("无法写入：%1");
const QString kRemoveParseFailed = QStringLiteral("原文件 JSON 解析失败，未改动");
const QString kInstallLog = QStringLiteral(
    "MCP install OK · key=%1 · entry=%2 · path=%3 · replaced=%4 · staleRemoved=%5 · backup=%6");
const QString kInstallTomlLog =
    QStringLiteral("MCP install OK (toml) · entry=%1 · path=%2 · replaced=%3 · backup=%4");
const QString kNewFile = QStringLiteral("(none — new file)");
const QString kRemoveLog =
    QStringLiteral("MCP remove OK · key=%1 · entry=%2 · path=%3 · backup=%4");
const QString kRemoveTomlLog =
    QStringLiteral("MCP remove OK (toml) · entry=%1 · path=%2 · backup=%3");

// Caps the size of files this process writes (EFBIG instead of a signal) while it lives: a
// failing write that root cannot get around.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

// Restores permissions changed by a test, so that QTemporaryDir can clean up.
class PermissionGuard {
public:
    PermissionGuard(const QString &path, QFile::Permissions permissions)
        : path_(path)
        , previous_(QFile::permissions(path)) {
        QFile::setPermissions(path, permissions);
    }
    ~PermissionGuard() { QFile::setPermissions(path_, previous_); }

private:
    QString path_;
    QFile::Permissions previous_;
};

QString formatName(ClientFormat format) {
    return format == ClientFormat::CodexToml ? QStringLiteral("toml") : QStringLiteral("json");
}

bool isBackupOf(const QString &backup, const QString &path) {
    static const QRegularExpression suffix(QStringLiteral("^\\.bak\\.\\d{8}_\\d{6}(_[1-9]\\d*)?$"));
    return backup.startsWith(path) && suffix.match(backup.mid(path.size())).hasMatch();
}

QString yesNo(bool value) {
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString installLog(ClientFormat format, const QString &path, const InstallResult &result) {
    const QString backup = result.backupPath.isEmpty() ? kNewFile : result.backupPath;
    if (format == ClientFormat::CodexToml)
        return QStringLiteral("I ") +
               kInstallTomlLog.arg(serverEntryName(), path, yesNo(result.replaced), backup);
    return QStringLiteral("I ") + kInstallLog.arg(containerKey(format), serverEntryName(), path,
                                                  yesNo(result.replaced),
                                                  QString::number(result.staleRemoved), backup);
}

QString removeLog(ClientFormat format, const QString &path, const QString &backup) {
    if (format == ClientFormat::CodexToml)
        return QStringLiteral("I ") + kRemoveTomlLog.arg(serverEntryName(), path, backup);
    return QStringLiteral("I ") +
           kRemoveLog.arg(containerKey(format), serverEntryName(), path, backup);
}

// What install writes into a new file: exactly the copyable snippet.
QByteArray freshContent(ClientFormat format) {
    return buildMcpServerSnippet(format).toUtf8();
}

} // namespace

class tst_Install : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void realisticFilesRoundTrip_data();
    void realisticFilesRoundTrip();
    void newFileInMissingDirectories_data();
    void newFileInMissingDirectories();
    void emptyFileIsTreatedAsNew_data();
    void emptyFileIsTreatedAsNew();
    void oddJsonShapes_data();
    void oddJsonShapes();
    void staleSweepOfTheOtherWorld_data();
    void staleSweepOfTheOtherWorld();
    void secondInstallInTheSameSecondGetsSuffix();
    void backupNamesSkipTakenOnes();
    void devWorldWritesTheEnvironmentBlock();
    void removeWithNothingToRemove_data();
    void removeWithNothingToRemove();
    void removeKeepsTheOtherWorldAndAnEmptyContainer();
    void removeOfTheOnlyCodexTableLeavesAnEmptyFile();
    void jsonWithCommentsIsNeverRewritten();
    void directoryCannotBeCreated_data();
    void directoryCannotBeCreated();
    void configPathIsADirectory_data();
    void configPathIsADirectory();
    void failedWriteKeepsTheFileAndTheBackup_data();
    void failedWriteKeepsTheFileAndTheBackup();
    void failedBackupChangesNothing_data();
    void failedBackupChangesNothing();
    void symlinkStaysALink();
    void permissionsAreKept();
    void readOnlyFileIsNotOverwritten();
    void unreadableFile();
    void readOnlyDirectoryFallsBackToDirectWrite();
    void installRefusedWithoutSidecar();
    void sidecarMissingRefusesInstall();

private:
    QString home() const { return home_->home(); }
    QString masked(const QString &path) const {
        return QStringLiteral("~") + path.mid(home().size());
    }

    std::unique_ptr<InProcessHome> home_;
    std::unique_ptr<QTemporaryDir> dir_; // a fresh directory below HOME for every test
};

void tst_Install::initTestCase() {
    home_ = std::make_unique<InProcessHome>();
    QVERIFY(home_->isValid());
    qunsetenv("QUORVELIN_DEV");
    qInfo("running as entry %s with the sidecar %s", qPrintable(serverEntryName()),
          qPrintable(sidecarExePath()));
}

void tst_Install::init() {
    dir_ = std::make_unique<QTemporaryDir>(home() + QStringLiteral("/case-XXXXXX"));
    QVERIFY(dir_->isValid());
}

void tst_Install::cleanup() {
    dir_.reset();
}

void tst_Install::realisticFilesRoundTrip_data() {
    QTest::addColumn<QString>("fixtureName");
    QTest::addColumn<QString>("configPath"); // relative to HOME, as the catalogue places it
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<int>("staleRemoved");

    QTest::newRow("Claude Code: many projects, stale other-world entry")
        << "claude-code"
        << ".claude-test/.claude.json" << ClientFormat::McpServersJson << false << 1;
    QTest::newRow("Claude Desktop: other servers with env, our old entry replaced whole")
        << "claude-desktop"
        << "Library/Application Support/Claude/claude_desktop_config.json"
        << ClientFormat::McpServersJson << true << 0;
    QTest::newRow("Zed: unrelated settings")
        << "zed-settings"
        << ".config/zed/settings.json" << ClientFormat::ZedContextServers << false << 0;
    QTest::newRow("OpenCode: other-world entry with an empty command array")
        << "opencode"
        << ".config/opencode/opencode.json" << ClientFormat::OpenCodeMcp << false << 1;
    QTest::newRow("Codex: comments, profiles, our tables in the middle, trailing blank lines")
        << "codex-config"
        << ".codex/config.toml" << ClientFormat::CodexToml << true << 0;
    QTest::newRow("Codex: CR LF endings")
        << "codex-crlf"
        << ".codex-crlf/config.toml" << ClientFormat::CodexToml << true << 0;
    QTest::newRow("Codex: no entry yet, remove gives back the original")
        << "codex-plain"
        << ".codex-plain/config.toml" << ClientFormat::CodexToml << false << 0;
}

void tst_Install::realisticFilesRoundTrip() {
    QFETCH(QString, fixtureName);
    QFETCH(QString, configPath);
    QFETCH(ClientFormat, format);
    QFETCH(bool, replaced);
    QFETCH(int, staleRemoved);
    const QString extension =
        format == ClientFormat::CodexToml ? QStringLiteral(".toml") : QStringLiteral(".json");
    const QString path = dir_->path() + QLatin1Char('/') + configPath;
    const QByteArray original = fixture(fixtureName + extension);
    QVERIFY(writeBytes(path, original));

    LogCapture log("quorvelin.service");
    const InstallResult installed = installToFile(path, format);
    QVERIFY2(installed.ok, qPrintable(installed.message));
    QCOMPARE(installed.configPath, path);
    QCOMPARE(installed.replaced, replaced);
    QCOMPARE(installed.staleRemoved, staleRemoved);
    QVERIFY2(isBackupOf(installed.backupPath, path), qPrintable(installed.backupPath));
    QCOMPARE(readBytes(installed.backupPath), original);
    const QByteArray afterInstall = readBytes(path);
    QVERIFY(setuptest::matchesGolden(afterInstall,
                                     fixtureName + QStringLiteral(".installed.expected")));
    QCOMPARE(checkIntegration(path, format).state, IntegrationState::Installed);

    const InstallResult removed = removeFromFile(path, format);
    QVERIFY2(removed.ok, qPrintable(removed.message));
    QVERIFY(removed.replaced);
    QCOMPARE(removed.staleRemoved, 0);
    QVERIFY(isBackupOf(removed.backupPath, path));
    QVERIFY(removed.backupPath != installed.backupPath);
    QCOMPARE(readBytes(removed.backupPath), afterInstall);
    QVERIFY(setuptest::matchesGolden(readBytes(path),
                                     fixtureName + QStringLiteral(".removed.expected")));
    QCOMPARE(checkIntegration(path, format).state, IntegrationState::NotInstalled);

    QCOMPARE(log.lines(), (QStringList{installLog(format, path, installed),
                                       removeLog(format, path, removed.backupPath)}));
}

void tst_Install::newFileInMissingDirectories_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::newRow("mcpServers") << ClientFormat::McpServersJson;
    QTest::newRow("Zed") << ClientFormat::ZedContextServers;
    QTest::newRow("OpenCode") << ClientFormat::OpenCodeMcp;
    QTest::newRow("Codex") << ClientFormat::CodexToml;
}

void tst_Install::newFileInMissingDirectories() {
    QFETCH(ClientFormat, format);
    const QString path =
        dir_->path() + QStringLiteral("/a/b/配置 目录/config.") + formatName(format);
    LogCapture log("quorvelin.service");
    const InstallResult result = installToFile(path, format);
    QVERIFY2(result.ok, qPrintable(result.message));
    QVERIFY(!result.replaced);
    QVERIFY(result.backupPath.isEmpty());
    QCOMPARE(readBytes(path), freshContent(format));
    QCOMPARE(backupsBeside(path), QStringList());
    QCOMPARE(log.lines(), QStringList{installLog(format, path, result)});
    QVERIFY(log.lines().constFirst().endsWith(QStringLiteral("backup=") + kNewFile));
}

void tst_Install::emptyFileIsTreatedAsNew_data() {
    newFileInMissingDirectories_data();
}

void tst_Install::emptyFileIsTreatedAsNew() {
    QFETCH(ClientFormat, format);
    const QString path = dir_->path() + QStringLiteral("/empty.") + formatName(format);
    QVERIFY(writeBytes(path, QByteArray()));
    const InstallResult result = installToFile(path, format);
    QVERIFY(result.ok);
    QVERIFY(result.backupPath.isEmpty());
    QCOMPARE(backupsBeside(path), QStringList());
    QCOMPARE(readBytes(path), freshContent(format));
}

void tst_Install::oddJsonShapes_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // compact form of the rewritten file

    const QByteArray entry = QJsonDocument(buildMcpServerEntry()).toJson(QJsonDocument::Compact);
    const QByteArray ours =
        "{\"mcpServers\":{\"" + serverEntryName().toUtf8() + "\":" + entry + "}}";
    QTest::newRow("top level is an array") << QByteArray("[1, 2, {\"mcpServers\": {}}]") << ours;
    QTest::newRow("container is a string") << QByteArray("{\"mcpServers\": \"oops\"}") << ours;
    QTest::newRow("container is an array") << QByteArray("{\"mcpServers\": [\"a\"]}") << ours;
    QTest::newRow("other members kept")
        << QByteArray("{\"z\": 1, \"a\": {\"mcpServers\": {}}}")
        << "{\"a\":{\"mcpServers\":{}},\"mcpServers\":{\"" + serverEntryName().toUtf8() +
               "\":" + entry + "},\"z\":1}";
}

void tst_Install::oddJsonShapes() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const QString path = dir_->path() + QStringLiteral("/odd.json");
    QVERIFY(writeBytes(path, before));
    const InstallResult result = installToFile(path, ClientFormat::McpServersJson);
    QVERIFY2(result.ok, qPrintable(result.message));
    QCOMPARE(readBytes(result.backupPath), before);
    const QByteArray written = readBytes(path);
    QCOMPARE(QJsonDocument::fromJson(written).toJson(QJsonDocument::Compact), after);
    QCOMPARE(written, QJsonDocument::fromJson(after).toJson(QJsonDocument::Indented));
}

void tst_Install::staleSweepOfTheOtherWorld_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<QByteArray>("otherEntry"); // @EXISTING@ names a file that exists
    QTest::addColumn<bool>("swept");

    const auto mcp = ClientFormat::McpServersJson;
    const auto zed = ClientFormat::ZedContextServers;
    const auto openCode = ClientFormat::OpenCodeMcp;
    QTest::newRow("command exists: kept")
        << mcp << QByteArray(R"({"command":"@EXISTING@"})") << false;
    QTest::newRow("a directory counts as existing")
        << mcp << QByteArray(R"({"command":"@EXISTING_DIR@"})") << false;
    QTest::newRow("command gone: swept")
        << mcp << QByteArray(R"({"command":"/gone/quorvelin-mcp"})") << true;
    QTest::newRow("no command: swept") << mcp << QByteArray(R"({"args":[]})") << true;
    QTest::newRow("entry is a string: swept") << mcp << QByteArray(R"("@EXISTING@")") << true;
    QTest::newRow("command in another dialect's shape: swept")
        << mcp << QByteArray(R"({"command":{"path":"@EXISTING@"}})") << true;
    QTest::newRow("Zed, path exists: kept")
        << zed << QByteArray(R"({"command":{"path":"@EXISTING@","args":[]}})") << false;
    QTest::newRow("Zed, string command: swept")
        << zed << QByteArray(R"({"command":"@EXISTING@"})") << true;
    QTest::newRow("OpenCode, first element exists: kept")
        << openCode << QByteArray(R"({"type":"local","command":["@EXISTING@","-v"]})") << false;
    QTest::newRow("OpenCode, first element gone: swept")
        << openCode << QByteArray(R"({"command":["/gone","@EXISTING@"]})") << true;
}

void tst_Install::staleSweepOfTheOtherWorld() {
    QFETCH(ClientFormat, format);
    QFETCH(QByteArray, otherEntry);
    QFETCH(bool, swept);
    const QString existing = dir_->path() + QStringLiteral("/old-sidecar");
    QVERIFY(writeBytes(existing, "#!/bin/sh\n"));
    otherEntry.replace("@EXISTING@", existing.toUtf8())
        .replace("@EXISTING_DIR@", dir_->path().toUtf8());
    const QString key = containerKey(format);
    const QByteArray before = setuptest::filled("{\"" + key.toUtf8() +
                                                "\": {\"keep\": {\"command\": \"/gone\"}, "
                                                "\"@OTHER@\": " +
                                                otherEntry + "}}");
    const QString path = dir_->path() + QStringLiteral("/config.json");
    QVERIFY(writeBytes(path, before));

    const InstallResult result = installToFile(path, format);
    QVERIFY2(result.ok, qPrintable(result.message));
    QCOMPARE(result.staleRemoved, swept ? 1 : 0);
    const QJsonObject servers =
        QJsonDocument::fromJson(readBytes(path)).object().value(key).toObject();
    const QString other = QString::fromUtf8(setuptest::filled("@OTHER@"));
    QCOMPARE(servers.contains(other), !swept);
    // Unrelated entries are never swept, whatever their command.
    QVERIFY(servers.contains(QStringLiteral("keep")));
    QCOMPARE(servers.value(serverEntryName()).toObject(), buildJsonEntry(format));
}

void tst_Install::secondInstallInTheSameSecondGetsSuffix() {
    const QString path = dir_->path() + QStringLiteral("/mcp.json");
    const QByteArray original("{\"mcpServers\": {}}");
    // Retried when the clock happens to cross a second between the two installs.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QVERIFY(writeBytes(path, original));
        for (const QString &old : backupsBeside(path))
            QFile::remove(dir_->path() + QLatin1Char('/') + old);
        const QString before =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
        const InstallResult first = installToFile(path, ClientFormat::McpServersJson);
        const InstallResult second = installToFile(path, ClientFormat::McpServersJson);
        const QString after =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
        if (before != after)
            continue;
        QVERIFY(first.ok && second.ok);
        QVERIFY(!first.replaced);
        QVERIFY(second.replaced);
        QCOMPARE(first.backupPath, path + QStringLiteral(".bak.") + before);
        QCOMPARE(second.backupPath, path + QStringLiteral(".bak.") + before + QStringLiteral("_1"));
        QCOMPARE(readBytes(first.backupPath), original);
        QCOMPARE(readBytes(second.backupPath), readBytes(path));
        return;
    }
    QFAIL("the clock crossed a second boundary in every attempt");
}

void tst_Install::backupNamesSkipTakenOnes() {
    const QString path = dir_->path() + QStringLiteral("/config.json");
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QString base = uniqueBackupPath(path);
        QVERIFY(isBackupOf(base, path));
        QVERIFY(QDir().mkpath(base)); // a directory takes the name as well as a file
        QVERIFY(writeBytes(base + QStringLiteral("_1"), "x"));
        QVERIFY(writeBytes(base + QStringLiteral("_3"), "x"));
        const QString next = uniqueBackupPath(path);
        if (!next.startsWith(base))
            continue; // the second changed in between
        QCOMPARE(next, base + QStringLiteral("_2"));
        QVERIFY(writeBytes(next, "x"));
        QCOMPARE(uniqueBackupPath(path), base + QStringLiteral("_4"));
        return;
    }
    QFAIL("the clock crossed a second boundary in every attempt");
}

void tst_Install::devWorldWritesTheEnvironmentBlock() {
    const ScopedEnv dev("QUORVELIN_DEV", "1");
    QCOMPARE(serverEntryName(), QStringLiteral("quorvelin-dev"));
    const QString json = dir_->path() + QStringLiteral("/claude_desktop_config.json");
    QVERIFY(writeBytes(json, fixture(QStringLiteral("claude-desktop.json"))));
    QVERIFY(installToFile(json, ClientFormat::McpServersJson).ok);
    QVERIFY(setuptest::matchesGolden(readBytes(json),
                                     QStringLiteral("claude-desktop.installed-devworld.expected")));
    const QString toml = dir_->path() + QStringLiteral("/config.toml");
    QVERIFY(writeBytes(toml, fixture(QStringLiteral("codex-plain.toml"))));
    QVERIFY(installToFile(toml, ClientFormat::CodexToml).ok);
    QVERIFY(setuptest::matchesGolden(readBytes(toml),
                                     QStringLiteral("codex-plain.installed-devworld.expected")));
}

void tst_Install::removeWithNothingToRemove_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<QByteArray>("content"); // null: no file at all

    const auto mcp = ClientFormat::McpServersJson;
    const auto codex = ClientFormat::CodexToml;
    QTest::newRow("JSON, no file") << mcp << QByteArray();
    QTest::newRow("JSON, empty file") << mcp << QByteArray("");
    QTest::newRow("JSON, no container") << mcp << QByteArray("{\"theme\": \"dark\"}");
    QTest::newRow("JSON, only the other world")
        << mcp << setuptest::filled("{\"mcpServers\": {\"@OTHER@\": {\"command\": \"/gone\"}}}");
    QTest::newRow("JSON, top level is an array") << mcp << QByteArray("[{\"mcpServers\": {}}]");
    QTest::newRow("Zed, our name under another container")
        << ClientFormat::ZedContextServers
        << setuptest::filled("{\"mcpServers\": {\"@NAME@\": {\"command\": \"/x\"}}}");
    QTest::newRow("Codex, no file") << codex << QByteArray();
    QTest::newRow("Codex, empty file") << codex << QByteArray("");
    QTest::newRow("Codex, only an array-of-tables header of our name")
        << codex << setuptest::filled("[[mcp_servers.@NAME@]]\ncommand = \"/x\"\n\n\n");
    QTest::newRow("Codex, only the other world")
        << codex << setuptest::filled("[mcp_servers.@OTHER@]\ncommand = \"/gone\"\n");
}

void tst_Install::removeWithNothingToRemove() {
    QFETCH(ClientFormat, format);
    QFETCH(QByteArray, content);
    const QString path = dir_->path() + QStringLiteral("/config");
    if (!content.isNull())
        QVERIFY(writeBytes(path, content));
    LogCapture log("quorvelin.service");
    const InstallResult result = removeFromFile(path, format);
    QVERIFY(result.ok);
    QVERIFY(!result.replaced);
    QVERIFY(result.message.isEmpty());
    QVERIFY(result.backupPath.isEmpty());
    QCOMPARE(result.configPath, path);
    QCOMPARE(QFileInfo::exists(path), !content.isNull());
    if (!content.isNull())
        QCOMPARE(readBytes(path), content);
    QCOMPARE(backupsBeside(path), QStringList());
    QCOMPARE(log.lines(), QStringList());
}

void tst_Install::removeKeepsTheOtherWorldAndAnEmptyContainer() {
    const QString path = dir_->path() + QStringLiteral("/mcp.json");
    QVERIFY(
        writeBytes(path, setuptest::filled(R"({"b": [1], "mcpServers": {"@NAME@": {"command": "/a"},
        "@OTHER@": {"command": "/gone/but/not/swept/by/remove"}}})")));
    InstallResult result = removeFromFile(path, ClientFormat::McpServersJson);
    QVERIFY(result.ok && result.replaced);
    QCOMPARE(readBytes(path),
             setuptest::filled("{\n    \"b\": [\n        1\n    ],\n    \"mcpServers\": {\n"
                               "        \"@OTHER@\": {\n"
                               "            \"command\": \"/gone/but/not/swept/by/remove\"\n"
                               "        }\n    }\n}\n"));

    QVERIFY(writeBytes(path, setuptest::filled(R"({"mcpServers": {"@NAME@": {}}})")));
    result = removeFromFile(path, ClientFormat::McpServersJson);
    QVERIFY(result.ok && result.replaced);
    QCOMPARE(readBytes(path), QByteArray("{\n    \"mcpServers\": {\n    }\n}\n"));
}

void tst_Install::removeOfTheOnlyCodexTableLeavesAnEmptyFile() {
    const QString path = dir_->path() + QStringLiteral("/config.toml");
    const QByteArray original = setuptest::filled("[mcp_servers.@NAME@]\r\ncommand = \"/x\"\r\n\r\n"
                                                  "[mcp_servers.@NAME@.env]\r\nA = \"1\"\r\n");
    QVERIFY(writeBytes(path, original));
    const InstallResult result = removeFromFile(path, ClientFormat::CodexToml);
    QVERIFY(result.ok && result.replaced);
    QCOMPARE(QFileInfo(path).size(), 0);
    QCOMPARE(readBytes(result.backupPath), original);
}

void tst_Install::jsonWithCommentsIsNeverRewritten() {
    const QString path = dir_->path() + QStringLiteral("/settings.json");
    const QByteArray original = fixture(QStringLiteral("zed-settings-comments.json"));
    QVERIFY(writeBytes(path, original));
    QJsonParseError parseError;
    QJsonDocument::fromJson(original, &parseError);
    QVERIFY(parseError.error != QJsonParseError::NoError);

    LogCapture log("quorvelin.service");
    const InstallResult installed = installToFile(path, ClientFormat::ZedContextServers);
    QVERIFY(!installed.ok);
    QVERIFY(!installed.replaced);
    QVERIFY(isBackupOf(installed.backupPath, path));
    QCOMPARE(installed.message, kParseFailed.arg(parseError.errorString(), installed.backupPath));
    QCOMPARE(readBytes(installed.backupPath), original);
    QCOMPARE(readBytes(path), original);

    const InstallResult removed = removeFromFile(path, ClientFormat::ZedContextServers);
    QVERIFY(!removed.ok);
    QCOMPARE(removed.message, kRemoveParseFailed);
    QVERIFY(removed.backupPath.isEmpty());
    QCOMPARE(backupsBeside(path).size(), 1);
    QCOMPARE(readBytes(path), original);
    QCOMPARE(checkIntegration(path, ClientFormat::ZedContextServers).state,
             IntegrationState::Unreadable);
    QCOMPARE(log.lines(), QStringList());
}

void tst_Install::directoryCannotBeCreated_data() {
    newFileInMissingDirectories_data();
}

void tst_Install::directoryCannotBeCreated() {
    QFETCH(ClientFormat, format);
    const QString blocker = dir_->path() + QStringLiteral("/blocker");
    QVERIFY(writeBytes(blocker, "a regular file where a directory should be"));
    const QString path = blocker + QStringLiteral("/sub/config");
    LogCapture log("quorvelin.service");
    const InstallResult result = installToFile(path, format);
    QVERIFY(!result.ok);
    QCOMPARE(result.configPath, path);
    QCOMPARE(result.message, kCannotCreateDir.arg(blocker + QStringLiteral("/sub")));
    QVERIFY(QFileInfo(blocker).isFile());
    QCOMPARE(log.lines(), QStringList());
    // Remove and check see nothing there.
    QVERIFY(removeFromFile(path, format).ok);
    QCOMPARE(checkIntegration(path, format).state, IntegrationState::NotInstalled);
}

void tst_Install::configPathIsADirectory_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<QString>("removeMessage"); // %1: the masked path
    QTest::newRow("JSON") << ClientFormat::McpServersJson << kRemoveParseFailed;
    QTest::newRow("Codex") << ClientFormat::CodexToml << kCannotRead;
}

void tst_Install::configPathIsADirectory() {
    QFETCH(ClientFormat, format);
    QFETCH(QString, removeMessage);
    const QString path = dir_->path() + QStringLiteral("/config");
    QVERIFY(writeBytes(path + QStringLiteral("/inside"), "so that the directory has a size"));

    const InstallResult installed = installToFile(path, format);
    QVERIFY(!installed.ok);
    QVERIFY(installed.backupPath.isEmpty());
    QVERIFY2(installed.message.startsWith(kBackupFailed.arg(path + QStringLiteral(".bak."))),
             qPrintable(installed.message));
    QVERIFY(isBackupOf(installed.message.mid(kBackupFailed.indexOf(QLatin1String("%1"))), path));
    QCOMPARE(backupsBeside(path), QStringList());

    const InstallResult removed = removeFromFile(path, format);
    QVERIFY(!removed.ok);
    QCOMPARE(removed.message, removeMessage.arg(masked(path)));
    QCOMPARE(checkIntegration(path, format).state, IntegrationState::Unreadable);
    QVERIFY(QFileInfo(path + QStringLiteral("/inside")).isFile());
}

void tst_Install::failedWriteKeepsTheFileAndTheBackup_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<QByteArray>("original");
    QTest::newRow("JSON") << ClientFormat::McpServersJson << QByteArray("{\"a\": 1}\n");
    QTest::newRow("Codex") << ClientFormat::CodexToml << QByteArray("a = 1\n");
}

void tst_Install::failedWriteKeepsTheFileAndTheBackup() {
    QFETCH(ClientFormat, format);
    QFETCH(QByteArray, original);
    const QString path = dir_->path() + QStringLiteral("/config");
    QVERIFY(writeBytes(path, original));
    QVERIFY(freshContent(format).size() > 40);

    LogCapture log("quorvelin.service");
    InstallResult result;
    {
        // The old bytes fit, the new ones do not.
        const FileSizeLimit limit(40);
        result = installToFile(path, format);
    }
    QVERIFY(!result.ok);
    QCOMPARE(result.message, kCannotWrite.arg(masked(path)));
    QCOMPARE(readBytes(path), original);
    QVERIFY(isBackupOf(result.backupPath, path));
    QCOMPARE(readBytes(result.backupPath), original);
    // Nothing else is left behind: no temporary file, no torn copy.
    QCOMPARE(
        QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
        2);
    QCOMPARE(log.lines(), QStringList());
}

void tst_Install::failedBackupChangesNothing_data() {
    QTest::addColumn<ClientFormat>("format");
    QTest::addColumn<bool>("remove");
    QTest::newRow("JSON install") << ClientFormat::McpServersJson << false;
    QTest::newRow("JSON remove") << ClientFormat::McpServersJson << true;
    QTest::newRow("Codex install") << ClientFormat::CodexToml << false;
    QTest::newRow("Codex remove") << ClientFormat::CodexToml << true;
}

void tst_Install::failedBackupChangesNothing() {
    QFETCH(ClientFormat, format);
    QFETCH(bool, remove);
    const QString path = dir_->path() + QStringLiteral("/config");
    const QByteArray original =
        fixture(format == ClientFormat::CodexToml ? QStringLiteral("codex-config.toml")
                                                  : QStringLiteral("claude-desktop.json"));
    QVERIFY(original.size() > 200);
    QVERIFY(writeBytes(path, original));

    InstallResult result;
    {
        // Too large to copy, still readable.
        const FileSizeLimit limit(200);
        result = remove ? removeFromFile(path, format) : installToFile(path, format);
    }
    QVERIFY(!result.ok);
    QVERIFY(!result.replaced);
    QVERIFY(result.backupPath.isEmpty());
    const QString prefix = kBackupFailed.arg(QString());
    QVERIFY2(result.message.startsWith(prefix), qPrintable(result.message));
    QVERIFY2(isBackupOf(result.message.mid(prefix.size()), path), qPrintable(result.message));
    QCOMPARE(readBytes(path), original);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("config")});
}

void tst_Install::symlinkStaysALink() {
    const QString target = dir_->path() + QStringLiteral("/dotfiles/codex/config.toml");
    const QString link = dir_->path() + QStringLiteral("/.codex/config.toml");
    const QByteArray original = fixture(QStringLiteral("codex-plain.toml"));
    QVERIFY(writeBytes(target, original));
    QVERIFY(QDir().mkpath(QFileInfo(link).absolutePath()));
    QVERIFY(QFile::link(QStringLiteral("../dotfiles/codex/config.toml"), link));

    const InstallResult installed = installToFile(link, ClientFormat::CodexToml);
    QVERIFY2(installed.ok, qPrintable(installed.message));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(target), fixture(QStringLiteral("codex-plain.installed.expected")));
    QVERIFY(isBackupOf(installed.backupPath, link));
    QVERIFY(!QFileInfo(installed.backupPath).isSymLink());
    QCOMPARE(readBytes(installed.backupPath), original);

    const InstallResult removed = removeFromFile(link, ClientFormat::CodexToml);
    QVERIFY(removed.ok && removed.replaced);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(target), fixture(QStringLiteral("codex-plain.removed.expected")));
    QCOMPARE(backupsBeside(target), QStringList());
}

void tst_Install::permissionsAreKept() {
    const QString path = dir_->path() + QStringLiteral("/secret.json");
    QVERIFY(writeBytes(path, "{\"mcpServers\": {\"token-server\": {\"env\": {\"T\": \"x\"}}}}"));
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    QVERIFY(QFile::setPermissions(path, ownerOnly));
    QVERIFY(installToFile(path, ClientFormat::McpServersJson).ok);
    QCOMPARE(QFile::permissions(path) & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser),
             ownerOnly);
    QVERIFY(removeFromFile(path, ClientFormat::McpServersJson).ok);
    QCOMPARE(QFile::permissions(path) & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser),
             ownerOnly);
}

void tst_Install::readOnlyFileIsNotOverwritten() {
    if (setuptest::runningAsRoot())
        QSKIP("root writes read-only files; the failed-write case runs with a size limit instead");
    const QString path = dir_->path() + QStringLiteral("/config.json");
    const QByteArray original("{\"mcpServers\": {}}");
    QVERIFY(writeBytes(path, original));
    const PermissionGuard guard(path, QFile::ReadOwner);
    const InstallResult result = installToFile(path, ClientFormat::McpServersJson);
    QVERIFY(!result.ok);
    QCOMPARE(result.message, kCannotWrite.arg(masked(path)));
    QCOMPARE(readBytes(path), original);
    QCOMPARE(readBytes(result.backupPath), original);
}

void tst_Install::unreadableFile() {
    if (setuptest::runningAsRoot())
        QSKIP("root reads files without read permission; a directory at the path covers this");
    const QString json = dir_->path() + QStringLiteral("/config.json");
    const QString toml = dir_->path() + QStringLiteral("/config.toml");
    QVERIFY(writeBytes(json, setuptest::filled("{\"mcpServers\": {\"@NAME@\": {}}}")));
    QVERIFY(writeBytes(toml, setuptest::filled("[mcp_servers.@NAME@]\n")));
    const PermissionGuard jsonGuard(json, QFile::WriteOwner);
    const PermissionGuard tomlGuard(toml, QFile::WriteOwner);

    QVERIFY(installToFile(json, ClientFormat::McpServersJson)
                .message.startsWith(kBackupFailed.arg(QString())));
    QCOMPARE(removeFromFile(json, ClientFormat::McpServersJson).message, kRemoveParseFailed);
    QCOMPARE(removeFromFile(toml, ClientFormat::CodexToml).message, kCannotRead.arg(masked(toml)));
    QCOMPARE(checkIntegration(json, ClientFormat::McpServersJson).state,
             IntegrationState::Unreadable);
    QCOMPARE(checkIntegration(toml, ClientFormat::CodexToml).state, IntegrationState::Unreadable);
}

void tst_Install::readOnlyDirectoryFallsBackToDirectWrite() {
    if (setuptest::runningAsRoot())
        QSKIP("root creates files in read-only directories, so the fallback is never taken");
    // An empty file needs no backup, so the write is the only new file the directory refuses.
    const QString dir = dir_->path() + QStringLiteral("/locked");
    const QString path = dir + QStringLiteral("/config.toml");
    QVERIFY(writeBytes(path, QByteArray()));
    const PermissionGuard guard(dir, QFile::ReadOwner | QFile::ExeOwner);
    const InstallResult result = installToFile(path, ClientFormat::CodexToml);
    QVERIFY2(result.ok, qPrintable(result.message));
    QCOMPARE(readBytes(path), freshContent(ClientFormat::CodexToml));
    QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("config.toml")});
}

void tst_Install::installRefusedWithoutSidecar() {
    if (QFileInfo::exists(sidecarExePath()))
        QSKIP("needs a copy of this test without the sidecar beside it "
              "(sidecarMissingRefusesInstall)");
    const QString sidecar = sidecarExePath();
    for (const ClientFormat format : {ClientFormat::McpServersJson, ClientFormat::CodexToml}) {
        const QString path = dir_->path() + QStringLiteral("/new/config");
        LogCapture log("quorvelin.service");
        const InstallResult result = installToFile(path, format);
        QVERIFY(!result.ok);
        QCOMPARE(result.configPath, path);
        QCOMPARE(result.message, kSidecarMissing.arg(QDir::toNativeSeparators(sidecar)));
        QCOMPARE(log.lines(), QStringList{QStringLiteral("W ") + kSidecarMissingLog.arg(sidecar)});
        QVERIFY(!QFileInfo::exists(dir_->path() + QStringLiteral("/new")));
    }
}

void tst_Install::sidecarMissingRefusesInstall() {
    // A copy of this very test, alone in a directory, runs the check above for real.
    const quorvelin::testsupport::IsolatedEnv env;
    QVERIFY(env.isValid());
    const QString copy = quorvelin::testsupport::copyExecutable(
        QCoreApplication::applicationFilePath(), env.root() + QStringLiteral("/alone"));
    QVERIFY(!copy.isEmpty());
    const auto run = quorvelin::testsupport::runProcess(
        copy, {QStringLiteral("installRefusedWithoutSidecar")}, env.environment(), {}, 30000);
    QVERIFY2(run.finished && run.exitCode == 0, run.out + run.err);
    QVERIFY2(run.out.contains("PASS   : tst_Install::installRefusedWithoutSidecar()"), run.out);
}

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_install.moc"
