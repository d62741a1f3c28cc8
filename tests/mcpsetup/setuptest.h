#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Helpers shared by the setup tests: fixture files with the build's names filled in, and plain
// file access that fails loudly.
namespace setuptest {

// tests/mcpsetup/data in the source tree.
QString dataDir();
// Null, with a warning, when the file cannot be read.
QByteArray readBytes(const QString &path);
bool writeBytes(const QString &path, const QByteArray &bytes);

// Fills the tokens of a fixture for the build and world in force now: @NAME@ is this build's
// entry name, @OTHER@ the other one, @SIDECAR@ the sidecar command path.
QByteArray filled(QByteArray text);
// A fixture file from dataDir(), filled.
QByteArray fixture(const QString &name);

// Compares `actual` with the filled golden file `name` in dataDir(). With
// QUORVELIN_REGENERATE_GOLDEN=1 in the environment the golden file is rewritten from `actual`
// first (names and sidecar path turned back into tokens): review the diff before committing.
bool matchesGolden(const QByteArray &actual, const QString &name);

// The backup files lying beside `path` ("<name>.bak.*"), sorted.
QStringList backupsBeside(const QString &path);

// Whether this process runs as root, which ignores permission bits.
bool runningAsRoot();

} // namespace setuptest
