#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// What every fuzz target shares: a Qt application with the product's identity, a private data
// home and temp directory (so no target ever reads or writes the real home or reaches a real GUI
// program's socket), silenced logging, and a loud stop when an invariant breaks.
namespace quorvelin::fuzz {

// Call once from LLVMFuzzerInitialize.
void setUp(int *argc, char ***argv);

// The private directory that setUp made (it is also $HOME, $XDG_DATA_HOME and $TMPDIR).
QString scratchDir();

// Prints what broke and the input, then aborts so that libFuzzer saves the input.
[[noreturn]] void fail(const char *what, const QByteArray &input);

// A file holding `content` in a directory of its own below the scratch directory (backups would
// pile up in a shared one); both go when it does.
class ScratchFile {
public:
    ScratchFile(const QString &name, const QByteArray &content);
    QString path() const { return path_; }
    // What the file holds now; empty when it is gone.
    QByteArray content() const { return read(path_); }
    static QByteArray read(const QString &path);

private:
    QTemporaryDir dir_;
    QString path_;
};

} // namespace quorvelin::fuzz
