#pragma once

#include "clients.h"

#include <QList>
#include <QString>

// Why a client does not see this installation's MCP server: every check that can be made from
// here, each one a finding with a state, a short text and a hint. Nothing is written; the
// installation's findings start the sidecar once, for its self-test.
namespace quorvelin::mcpsetup {

struct Finding {
    Q_GADGET
    Q_PROPERTY(QString clientId MEMBER clientId)
    Q_PROPERTY(quorvelin::mcpsetup::FindingState state MEMBER state)
    Q_PROPERTY(QString text MEMBER text)
    Q_PROPERTY(QString hint MEMBER hint)

public:
    QString clientId; // the catalogue id of the client; empty for the installation itself
    FindingState state = FindingState::Ok;
    QString text; // what was found, for the user
    QString hint; // what to do about it; empty when nothing is to be done
};

// The sidecar at `path` (empty: this installation's, beside the running executable): a file,
// executable, with the GUI bridge module beside it. One Problem per fault, else one Ok.
QList<Finding> sidecarFindings(const QString &path = QString());

// The installation: the sidecar's findings, its self-test within `probeBudgetMs`, whether the
// GUI program answers on the bridge socket of this world right now, and its tool catalogue. A GUI
// program that is not running and a missing catalogue are warnings: it may simply be closed.
QList<Finding> installationFindings(int probeBudgetMs = 10000);

// One client: its configuration file loads as the client loads it; this build's entry is there
// once, in one spelling, and starts this installation's sidecar; nothing shadows it (same-name
// entries in Claude Code project scopes, opencode.jsonc beside opencode.json, the file of
// Cline's command-line client). A client without the entry or without a file is a warning.
QList<Finding> clientFindings(const McpClient &client);

} // namespace quorvelin::mcpsetup
