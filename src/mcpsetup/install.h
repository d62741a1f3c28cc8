#pragma once

#include "clients.h"

#include <QString>

// Installing this build's server entry into a client configuration file and removing it again.
// A file with content is always copied to "<path>.bak.yyyyMMdd_HHmmss[_N]" before it is
// rewritten; everything else the user keeps in the file survives.
namespace quorvelin::mcpsetup {

struct InstallResult {
    Q_GADGET
    Q_PROPERTY(bool ok MEMBER ok)
    Q_PROPERTY(QString configPath MEMBER configPath)
    Q_PROPERTY(QString backupPath MEMBER backupPath)
    Q_PROPERTY(bool replaced MEMBER replaced)
    Q_PROPERTY(qint32 staleRemoved MEMBER staleRemoved)
    Q_PROPERTY(QString message MEMBER message)

public:
    bool ok = false;
    QString configPath;      // the path passed in, on every outcome
    QString backupPath;      // the backup made by this call; empty when none was made
    bool replaced = false;   // install: an entry of this name was there; remove: it was removed
    qint32 staleRemoved = 0; // install (JSON): other-world entries dropped for a missing command
    QString message;         // why it failed, for the user; empty on success
};

// Writes the entry for `format` into `path`, creating its directory when missing. Refuses
// (ok=false, file untouched) when the sidecar is not beside the running executable, when the
// file is not valid JSON, or when any read, backup or write fails; a failed write leaves the
// previous content in place.
InstallResult installToFile(const QString &path, ClientFormat format,
                            const ConfigOptions &options = {});
// Takes this build's entry out of `path`. Nothing to remove (no file, no entry) is success
// without a backup or a write. With `options.keepComments`, a container left empty goes too, so
// that a remove after an install gives the file back as it was.
InstallResult removeFromFile(const QString &path, ClientFormat format,
                             const ConfigOptions &options = {});

} // namespace quorvelin::mcpsetup
