#include "mcpsetup/install.h"

#include "logger/logger.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/setup_p.h"
#include "pathdisplay/pathdisplay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <algorithm>

namespace quorvelin::mcpsetup {

namespace {

using pathdisplay::forDisplay;

enum class Operation { Install, Remove };

bool sidecarPresent(InstallResult &result) {
    const QString sidecar = sidecarExePath();
    if (QFileInfo::exists(sidecar))
        return true;
    result.message =
        QObject::tr(
            "未找到 MCP sidecar:%1\n（它应与 quor-velin "
            "主程序在同一目录）。可能是安装包未携带或被杀软删除 —— 请重新安装 Quorvelin 后再接入。")
            .arg(forDisplay(sidecar));
    qCWarning(asService).noquote()
        << QStringLiteral("MCP install 中止:sidecar 不存在 · %1").arg(sidecar);
    return false;
}

bool directoryPresent(const QString &path, InstallResult &result) {
    const QString directory = QFileInfo(path).absolutePath();
    if (QDir().mkpath(directory))
        return true;
    result.message = QObject::tr("无法创建目录：%1").arg(directory);
    return false;
}

bool backUp(const QString &path, InstallResult &result) {
    const QString backup = uniqueBackupPath(path);
    if (!QFile::copy(path, backup)) {
        result.message = QObject::tr("备份失败：%1").arg(backup);
        return false;
    }
    result.backupPath = backup;
    return true;
}

QString unreadable(const QString &path) {
    return QObject::tr("无法读取：%1").arg(forDisplay(path));
}

// The JSON remover says the same of a file it cannot open and of one it cannot parse.
QString removeRefused() {
    return QObject::tr("原文件 JSON 解析失败，未改动");
}

void logChange(Operation operation, const Dialect &dialect, const InstallResult &result) {
    const bool install = operation == Operation::Install;
    QString line = install ? QStringLiteral("MCP install OK") : QStringLiteral("MCP remove OK");
    line += dialect.file.toml ? QStringLiteral(" (toml)")
                              : QStringLiteral(" · key=") + QLatin1String(dialect.containerKey);
    line += QStringLiteral(" · entry=%1 · path=%2").arg(serverEntryName(), result.configPath);
    if (install)
        line += QStringLiteral(" · replaced=") +
                (result.replaced ? QStringLiteral("yes") : QStringLiteral("no"));
    if (install && !dialect.file.toml)
        line += QStringLiteral(" · staleRemoved=%1").arg(result.staleRemoved);
    line += QStringLiteral(" · backup=") +
            (result.backupPath.isEmpty() ? QStringLiteral("(none — new file)") : result.backupPath);
    qCInfo(asService).noquote() << line;
}

bool hasEntryTable(const QByteArray &content) {
    const TomlDoc doc = tomlParse(QString::fromUtf8(content));
    return std::any_of(doc.sections.begin(), doc.sections.end(), [](const TomlSection &section) {
        return section.path.size() == 2 && isEntrySection(section, serverEntryName());
    });
}

// Why the change would leave a file that its client loads today unable to load; empty when it
// would not.
QString checkedRefusal(const Dialect &dialect, const QByteArray &before, const QByteArray &after,
                       const QString &path) {
    if (!clientLoad(dialect, before).loads)
        return QString();
    const ClientLoad load = clientLoad(dialect, after);
    if (load.loads)
        return QString();
    const TomlEntry entry = dialect.file.toml ? tomlEntry(before, serverEntryName()) : TomlEntry();
    if (entry.present && !hasEntryTable(before)) {
        const QString spelled =
            entry.inlineTable
                ? QObject::tr("未改动：%1 第 %2 行已用内联表定义了 mcp_servers.%3，再添加 "
                              "[mcp_servers.%3] 表会让客户端无法加载该文件。请删去那一处定义，"
                              "或把它改写成 [mcp_servers.%3] 表，然后再试。")
                : QObject::tr("未改动：%1 第 %2 行已用点号键定义了 mcp_servers.%3，再添加 "
                              "[mcp_servers.%3] 表会让客户端无法加载该文件。请删去定义它的"
                              "那些点号键，或把它们改写成 [mcp_servers.%3] 表，然后再试。");
        return spelled.arg(forDisplay(path), QString::number(entry.line), serverEntryName());
    }
    return QObject::tr("未改动：改写后 %1 将无法被客户端加载（第 %2 行：%3）。")
        .arg(forDisplay(path), QString::number(load.line), load.reason);
}

// Install backs a file with content up before reading it; remove reads first and backs up only
// when there is something to take out. Either way nothing is rewritten without its backup.
InstallResult change(Operation operation, const QString &path, ClientFormat format,
                     const ConfigOptions &options) {
    InstallResult result;
    result.configPath = path;
    const Dialect &row = dialect(format);
    const bool install = operation == Operation::Install;
    if (install && (!sidecarPresent(result) || !directoryPresent(path, result)))
        return result;
    if (install && hasContent(path) && !backUp(path, result))
        return result;
    const ConfigBytes file = readConfigBytes(path);
    if (!install && !file.present) {
        result.ok = true;
        return result;
    }
    if (!file.ok) {
        result.message = install || row.file.toml ? unreadable(path) : removeRefused();
        return result;
    }
    const auto edited = [&](const FileModel &model) {
        return install ? model.install(row, file.bytes) : model.remove(row, file.bytes);
    };
    ConfigEdit edit = edited(row.file);
    if (!edit.parseError.isEmpty() && options.keepComments && !row.file.toml)
        edit = edited(kJsoncFile);
    if (!edit.parseError.isEmpty()) {
        result.message = install
                             ? QObject::tr("原文件 JSON 解析失败：%1（已备份到 %2，未修改原文件）")
                                   .arg(edit.parseError, result.backupPath)
                             : removeRefused();
        return result;
    }
    if (!edit.changed) {
        result.ok = true;
        return result;
    }
    if (options.checked) {
        result.message = checkedRefusal(row, file.bytes, edit.bytes, path);
        if (!result.message.isEmpty())
            return result;
    }
    // Install tells what it found even when the write fails; remove only what it did.
    if (install) {
        result.replaced = edit.replaced;
        result.staleRemoved = edit.staleRemoved;
    } else if (!backUp(path, result)) {
        return result;
    }
    if (!writeFileAtomically(path, edit.bytes)) {
        result.message = QObject::tr("无法写入：%1").arg(forDisplay(path));
        return result;
    }
    result.ok = true;
    result.replaced = edit.replaced;
    logChange(operation, row, result);
    return result;
}

} // namespace

InstallResult installToFile(const QString &path, ClientFormat format,
                            const ConfigOptions &options) {
    return change(Operation::Install, path, format, options);
}

InstallResult removeFromFile(const QString &path, ClientFormat format,
                             const ConfigOptions &options) {
    return change(Operation::Remove, path, format, options);
}

} // namespace quorvelin::mcpsetup
