#include "mcpsetup/integration.h"

#include "mcpsetup/identity.h"
#include "mcpsetup/setup_p.h"

#include <QDir>
#include <QFileInfo>

namespace quorvelin::mcpsetup {

QString normalizePath(const QString &path) {
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(slashed).toLower();
}

IntegrationStatus checkIntegration(const QString &path, ClientFormat format,
                                   const ConfigOptions &options) {
    const ConfigBytes file = readConfigBytes(path);
    if (!file.present)
        return {};
    if (!file.ok)
        return {IntegrationState::Unreadable, QString()};
    const Dialect &row = dialect(format);
    EntryLookup entry = row.file.lookup(row, file.bytes);
    if (!entry.parsed && options.keepComments && !row.file.toml)
        entry = kJsoncFile.lookup(row, file.bytes);
    if (!entry.parsed)
        return {IntegrationState::Unreadable, QString()};
    if (!entry.found)
        return {};
    const bool ours = !entry.command.isEmpty() &&
                      normalizePath(entry.command) == normalizePath(sidecarExePath()) &&
                      QFileInfo::exists(entry.command);
    return {ours ? IntegrationState::Installed : IntegrationState::Mismatch, entry.command};
}

} // namespace quorvelin::mcpsetup
