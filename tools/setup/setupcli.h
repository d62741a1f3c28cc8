#pragma once

#include <QStringList>

class QTextStream;

// quorvelin-mcp-setup: the client-integration library from the command line, for people and
// scripts without the GUI program.
namespace quorvelin::setupcli {

enum ExitStatus : int { kSucceeded = 0, kFailed = 1, kUsageError = 2 };

// Runs one invocation (`arguments` without the program name). Results go to `out`: records as
// JSON with --json, and then nothing else; messages, failures and usage errors go to `err`.
// Needs a live QCoreApplication: the library looks for the sidecar beside this executable.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace quorvelin::setupcli
