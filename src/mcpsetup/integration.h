#pragma once

#include "mcpsetup/clients.h"

#include <QString>

// Whether a client's configuration starts this installation's sidecar. Only reads.
namespace quorvelin::mcpsetup {

enum class IntegrationState : qint32 {
    NotInstalled = 0, // no file, empty file, or no entry under this build's name
    Installed = 1,    // the entry's command is this sidecar and exists
    Mismatch = 2,     // the entry's command is empty, unrecognised, elsewhere or missing
    Unreadable = 3,   // the file cannot be opened, or (JSON) is not valid JSON
};

struct IntegrationStatus {
    IntegrationState state = IntegrationState::NotInstalled;
    QString command; // the entry's command as written; empty when there is none
};

// With `options.keepComments`, a JSON file with comments is read as well instead of being
// Unreadable.
IntegrationStatus checkIntegration(const QString &path, ClientFormat format,
                                   const ConfigOptions &options = {});

} // namespace quorvelin::mcpsetup
