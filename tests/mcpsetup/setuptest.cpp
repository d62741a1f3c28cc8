#include "setuptest.h"

#include "mcpsetup/identity.h"
#include "mcpsetup/setup_internal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <utility>

namespace setuptest {

QString dataDir() {
    return QStringLiteral(QUORVELIN_SETUP_DATA);
}

QByteArray readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("cannot read %s", qPrintable(path));
        return QByteArray();
    }
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray filled(QByteArray text) {
    using namespace quorvelin::mcpsetup;
    const QString name = serverEntryName();
    const QString other = name == QLatin1String("quorvelin") ? QStringLiteral("quorvelin-dev")
                                                             : QStringLiteral("quorvelin");
    return text.replace("@NAME@", name.toUtf8())
        .replace("@OTHER@", other.toUtf8())
        .replace("@SIDECAR@", sidecarCommandPath().toUtf8());
}

QByteArray fixture(const QString &name) {
    return filled(readBytes(dataDir() + QLatin1Char('/') + name));
}

namespace {

QByteArray unfilled(QByteArray text) {
    using namespace quorvelin::mcpsetup;
    const QByteArray name = serverEntryName().toUtf8();
    const QByteArray other = filled("@OTHER@");
    text.replace(sidecarCommandPath().toUtf8(), "@SIDECAR@");
    for (const auto &[value, token] : {std::pair{name, QByteArray("@NAME@")}, {other, "@OTHER@"}}) {
        text.replace('"' + value + '"', '"' + token + '"');
        text.replace("mcp_servers." + value + ']', "mcp_servers." + token + ']');
        text.replace("mcp_servers." + value + '.', "mcp_servers." + token + '.');
    }
    return text;
}

} // namespace

bool matchesGolden(const QByteArray &actual, const QString &name) {
    const QString path = dataDir() + QLatin1Char('/') + name;
    if (qEnvironmentVariableIntValue("QUORVELIN_REGENERATE_GOLDEN") == 1)
        writeBytes(path, unfilled(actual));
    const QByteArray expected = fixture(name);
    if (actual == expected)
        return true;
    qWarning("%s differs; got:\n%s", qPrintable(name), actual.constData());
    return false;
}

QStringList backupsBeside(const QString &path) {
    const QFileInfo info(path);
    QStringList names = QDir(info.absolutePath())
                            .entryList({info.fileName() + QStringLiteral(".bak.*")},
                                       QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
    return names;
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

} // namespace setuptest
