#include "mcpsetup/install.h"

#include "logger/logger.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/setup_internal.h"
#include "pathdisplay/pathdisplay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QObject>
#include <QSaveFile>

namespace quorvelin::mcpsetup {

namespace {

using pathdisplay::forDisplay;

// The two entry names there are; the one that is not this build's belongs to the other world.
const char *const kEntryNames[] = {"quorvelin", "quorvelin-dev"};

bool backUp(const QString &path, InstallResult &result) {
    const QString backup = uniqueBackupPath(path);
    if (!QFile::copy(path, backup)) {
        result.message = QObject::tr("备份失败：%1").arg(backup);
        return false;
    }
    result.backupPath = backup;
    return true;
}

// A new file goes beside the target and is renamed over it, so a failed or short write never
// leaves a torn configuration; a symbolic link stays a link and its target gets the content.
bool writeBytes(const QString &path, const QByteArray &bytes) {
    const QFileInfo existing(path);
    // The user may have made the file read-only on purpose; a rename would get past that.
    if (existing.exists() && !existing.isWritable())
        return false;
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // commit() does not notice a failure of its own final flush, so flush here and look.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // Committing a cancelled write drops the temporary file; in direct-write mode the
        // destructor alone would remove the target itself.
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

bool writeBack(const QString &path, const QByteArray &bytes, InstallResult &result) {
    if (!writeBytes(path, bytes)) {
        result.message = QObject::tr("无法写入：%1").arg(forDisplay(path));
        return false;
    }
    result.ok = true;
    return true;
}

// `sizeHint`: about the size of the result, so the text is written into one buffer.
bool writeJson(const QString &path, const QJsonObject &root, qsizetype sizeHint,
               InstallResult &result) {
    return writeBack(path, indentedJson(root, sizeHint), result);
}

QString yesNo(bool value) {
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString backupForLog(const InstallResult &result) {
    return result.backupPath.isEmpty() ? QStringLiteral("(none — new file)") : result.backupPath;
}

// Preamble and every table that is not this build's; `dropped` tells whether one was.
QStringList linesWithoutEntry(const TomlDoc &doc, const QString &name, bool &dropped) {
    QStringList lines = doc.preamble;
    dropped = false;
    for (const TomlSection &section : doc.sections) {
        if (isEntrySection(section, name))
            dropped = true;
        else
            lines.append(section.lines);
    }
    return lines;
}

void dropTrailingBlankLines(QStringList &lines) {
    while (!lines.isEmpty() && lines.constLast().trimmed().isEmpty())
        lines.removeLast();
}

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

void installJson(const QString &path, ClientFormat format, const QByteArray &old,
                 InstallResult &result) {
    QJsonObject root;
    if (!old.isEmpty()) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(old, &error);
        if (error.error != QJsonParseError::NoError) {
            result.message = QObject::tr("原文件 JSON 解析失败：%1（已备份到 %2，未修改原文件）")
                                 .arg(error.errorString(), result.backupPath);
            return;
        }
        root = document.object();
    }
    const QString key = containerKey(format);
    const QString name = serverEntryName();
    QJsonObject servers = root.value(key).toObject();
    result.replaced = servers.contains(name);
    servers.insert(name, buildJsonEntry(format));
    for (const char *entryName : kEntryNames) {
        const QString other = QString::fromLatin1(entryName);
        if (other == name || !servers.contains(other))
            continue;
        const QString command = extractCommand(format, servers.value(other));
        if (command.isEmpty() || !QFileInfo::exists(command)) {
            servers.remove(other);
            ++result.staleRemoved;
        }
    }
    root.insert(key, servers);
    // The new entry adds a few hundred bytes at most.
    if (!writeJson(path, root, old.size() + 4096, result))
        return;
    qCInfo(asService).noquote() << QStringLiteral("MCP install OK · key=%1 · entry=%2 · path=%3 · "
                                                  "replaced=%4 · staleRemoved=%5 · backup=%6")
                                       .arg(key, name, path, yesNo(result.replaced),
                                            QString::number(result.staleRemoved),
                                            backupForLog(result));
}

void installToml(const QString &path, const QByteArray &old, InstallResult &result) {
    const TomlDoc doc = tomlParse(QString::fromUtf8(old));
    const QString name = serverEntryName();
    QStringList lines = linesWithoutEntry(doc, name, result.replaced);
    dropTrailingBlankLines(lines);
    if (!lines.isEmpty())
        lines.append(QString());
    lines.append(codexOurSectionLines());
    if (!writeBack(path, (lines.join(doc.eol) + doc.eol).toUtf8(), result))
        return;
    qCInfo(asService).noquote()
        << QStringLiteral("MCP install OK (toml) · entry=%1 · path=%2 · replaced=%3 · backup=%4")
               .arg(name, path, yesNo(result.replaced), backupForLog(result));
}

void removeJson(const QString &path, ClientFormat format, InstallResult &result) {
    const ConfigReadResult config = readConfigObject(path);
    if (!config.present) {
        result.ok = true;
        return;
    }
    if (!config.ok) {
        result.message = QObject::tr("原文件 JSON 解析失败，未改动");
        return;
    }
    const QString key = containerKey(format);
    const QString name = serverEntryName();
    QJsonObject servers = config.root.value(key).toObject();
    if (!servers.contains(name)) {
        result.ok = true;
        return;
    }
    if (!backUp(path, result))
        return;
    servers.remove(name);
    QJsonObject root = config.root;
    root.insert(key, servers);
    if (!writeJson(path, root, QFileInfo(path).size(), result))
        return;
    result.replaced = true;
    qCInfo(asService).noquote() << QStringLiteral(
                                       "MCP remove OK · key=%1 · entry=%2 · path=%3 · backup=%4")
                                       .arg(key, name, path, result.backupPath);
}

void removeToml(const QString &path, InstallResult &result) {
    const ConfigBytes file = readConfigBytes(path);
    if (!file.present) {
        result.ok = true;
        return;
    }
    if (!file.ok) {
        result.message = QObject::tr("无法读取：%1").arg(forDisplay(path));
        return;
    }
    const TomlDoc doc = tomlParse(QString::fromUtf8(file.bytes));
    const QString name = serverEntryName();
    bool dropped = false;
    QStringList lines = linesWithoutEntry(doc, name, dropped);
    if (!dropped) {
        result.ok = true;
        return;
    }
    if (!backUp(path, result))
        return;
    dropTrailingBlankLines(lines);
    const QString text = lines.isEmpty() ? QString() : lines.join(doc.eol) + doc.eol;
    if (!writeBack(path, text.toUtf8(), result))
        return;
    result.replaced = true;
    qCInfo(asService).noquote() << QStringLiteral(
                                       "MCP remove OK (toml) · entry=%1 · path=%2 · backup=%3")
                                       .arg(name, path, result.backupPath);
}

} // namespace

InstallResult installToFile(const QString &path, ClientFormat format) {
    InstallResult result;
    result.configPath = path;
    if (!sidecarPresent(result))
        return result;
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory)) {
        result.message = QObject::tr("无法创建目录：%1").arg(directory);
        return result;
    }
    QByteArray old;
    if (hasContent(path)) {
        if (!backUp(path, result))
            return result;
        const ConfigBytes file = readConfigBytes(path);
        if (!file.ok) {
            result.message = QObject::tr("无法读取：%1").arg(forDisplay(path));
            return result;
        }
        old = file.bytes;
    }
    if (format == ClientFormat::CodexToml)
        installToml(path, old, result);
    else
        installJson(path, format, old, result);
    return result;
}

InstallResult removeFromFile(const QString &path, ClientFormat format) {
    InstallResult result;
    result.configPath = path;
    if (format == ClientFormat::CodexToml)
        removeToml(path, result);
    else
        removeJson(path, format, result);
    return result;
}

} // namespace quorvelin::mcpsetup
