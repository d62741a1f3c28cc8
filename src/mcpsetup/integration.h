#pragma once

#include "clients.h"

#include <QString>

// Whether a client's configuration starts this installation's sidecar. Only reads.
namespace quorvelin::mcpsetup {

struct IntegrationStatus {
    Q_GADGET
    Q_PROPERTY(quorvelin::mcpsetup::IntegrationState state MEMBER state)
    Q_PROPERTY(QString command MEMBER command)

public:
    IntegrationState state = IntegrationState::NotInstalled;
    QString command; // the entry's command as written; empty when there is none
};

// With `options.keepComments`, a JSON file with comments is read as well instead of being
// Unreadable.
IntegrationStatus checkIntegration(const QString &path, ClientFormat format,
                                   const ConfigOptions &options = {});

} // namespace quorvelin::mcpsetup
