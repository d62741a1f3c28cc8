#include "mcpsetup/setup_p.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

// A new file goes beside the target and is renamed over it, so a failed or short write never
// leaves a torn configuration; a symbolic link stays a link and its target gets the content.
bool writeFileAtomically(const QString &path, const QByteArray &bytes) {
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

} // namespace quorvelin::mcpsetup
