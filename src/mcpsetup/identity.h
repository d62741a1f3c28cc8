#pragma once

#include <QString>

// Which installation this process belongs to. Two tests keep a development copy apart from the
// installed product: the dev world (QUORVELIN_DEV non-empty) and the development build (the
// executable lies in a build directory, or the dev world is on). Each call looks afresh; all of
// them need a live QCoreApplication.
namespace quorvelin::mcpsetup {

// Full path of the running executable, native separators.
QString currentExePath();
// Where the sidecar is expected: beside the running executable. The file may not exist.
QString sidecarExePath();
// QUORVELIN_DEV set to anything non-empty ("0" included).
bool isDevWorld();
// Dev world, or an executable path containing /build/, /build-release/, /cmake-build- or /out/
// (case-insensitive).
bool isDevBuild();
// "quorvelin-dev" for a development build, otherwise "quorvelin".
QString serverEntryName();

// The tool catalogue "mcp-tools.json" in the application data directory of the identity this
// process has set: the GUI program writes it, the sidecar reads it.
QString toolCataloguePath();

// The version of the product, the GUI program's: "3.1.0".
QString productVersion();

// The application identity of this world: organization "Brenlow", domain "com.brenlow",
// application "Quorvelin" ("Quorvelin-Dev" in the dev world), version "3.1.0". It fixes the
// application data directory that the sidecar and the GUI program share.
void setApplicationIdentity();

} // namespace quorvelin::mcpsetup
