#pragma once

#include "support/processenv.h"

#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A test executable doubles as a caller of the library: copied beside a (fake) sidecar, or out
// of the build tree, and started with "--probe BUDGET" or "--discover", it prints what the
// library returned as one JSON document and exits. So the library runs under the identity of a
// copy, exactly as it would inside the GUI program.
namespace quorvelin::testsupport {

bool driverRequested(int argc, char **argv);
// Needs a live QCoreApplication; returns the exit status.
int runDriver(const QStringList &arguments);

struct DriverRun {
    ProcessRun process;
    QJsonDocument output;
    // Why the run cannot be used, with the child's stderr; empty when it can.
    QString failure;
};

DriverRun drive(const QString &driver, const QStringList &arguments,
                const QProcessEnvironment &environment, int timeoutMs = 15000);

} // namespace quorvelin::testsupport
