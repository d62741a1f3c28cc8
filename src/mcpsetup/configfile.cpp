#include "mcpsetup/setup_internal.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace quorvelin::mcpsetup {

QString uniqueBackupPath(const QString &path) {
    const QString base = path + QStringLiteral(".bak.") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString candidate = base;
    for (int counter = 1; QFileInfo::exists(candidate); ++counter)
        candidate = base + QStringLiteral("_%1").arg(counter);
    return candidate;
}

bool hasContent(const QString &path) {
    const QFileInfo info(path);
    return info.exists() && info.size() >= 1;
}

ConfigBytes readConfigBytes(const QString &path) {
    ConfigBytes result;
    result.present = hasContent(path);
    if (!result.present) {
        result.ok = true;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.bytes = file.readAll();
    result.ok = true;
    return result;
}

ConfigReadResult readConfigObject(const QString &path) {
    ConfigReadResult result;
    const ConfigBytes file = readConfigBytes(path);
    result.present = file.present;
    if (!file.ok || !file.present) {
        result.ok = file.ok;
        return result;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return result;
    result.ok = true;
    result.root = document.object();
    return result;
}

} // namespace quorvelin::mcpsetup
