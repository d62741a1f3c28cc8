#pragma once

#include <QStringList>

// quorvelin-bridge-sim: a stand-in for the GUI program, made of the bridge's server end and the
// catalogue writer that the GUI program links. It writes a demo tool catalogue, listens on the
// bridge socket of its world and answers every request as its script says, logging each request
// line verbatim.
namespace quorvelin::bridgesim {

// The program: options, catalogue, listen, serve until SIGINT or SIGTERM. Needs a live
// QCoreApplication; returns the exit status.
int run(const QStringList &arguments);

} // namespace quorvelin::bridgesim
