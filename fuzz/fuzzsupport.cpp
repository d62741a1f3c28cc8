#include "fuzzsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace quorvelin::fuzz {

namespace {

QTemporaryDir *scratch = nullptr;

void silent(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

void setUp(int *argc, char ***argv) {
    scratch = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/quorvelin-fuzz-XXXXXX"));
    if (!scratch->isValid()) {
        std::fprintf(stderr, "fuzz: cannot create a scratch directory\n");
        std::abort();
    }
    const QByteArray dir = QFile::encodeName(scratch->path());
    for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "TMPDIR"})
        qputenv(name, dir);
    qunsetenv("QUORVELIN_DEV");
    // A deferring peer is never there, but the retry must not sleep if one were.
    qputenv("QUORVELIN_MCP_YIELD_RETRY", "0");
    qInstallMessageHandler(silent);
    // Lives for the whole run: libFuzzer exits without returning.
    new QCoreApplication(*argc, *argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brenlow"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorvelin"));
}

QString scratchDir() {
    return scratch->path();
}

void fail(const char *what, const QByteArray &input) {
    std::fprintf(stderr, "fuzz invariant broken: %s\ninput (%lld bytes): %s\n", what,
                 static_cast<long long>(input.size()), input.toPercentEncoding().constData());
    std::abort();
}

ScratchFile::ScratchFile(const QString &name, const QByteArray &content)
    : dir_(scratchDir() + QStringLiteral("/file-XXXXXX"))
    , path_(dir_.path() + QLatin1Char('/') + name) {
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        fail("cannot write the scratch file", content);
}

QByteArray ScratchFile::read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace quorvelin::fuzz
