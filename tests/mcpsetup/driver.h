#pragma once

#include "support/processenv.h"

#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The library's self-test and discovery run inside quorvelin-mcp-setup, copied beside a (fake)
// sidecar or out of the build tree, so they see the identity of that copy exactly as they would
// inside the GUI program; the command prints the records as JSON.
namespace quorvelin::testsupport {

// The setup command as built.
QString setupProgram();

struct DriverRun {
    ProcessRun process;
    QJsonDocument output;
    // Why the run cannot be used, with the child's stderr; empty when it can.
    QString failure;
};

// Runs `driver` (a copy of the setup command) with `arguments` plus --json.
DriverRun drive(const QString &driver, const QStringList &arguments,
                const QProcessEnvironment &environment, int timeoutMs = 15000);

} // namespace quorvelin::testsupport
