// quorvelin-interop-configwriter OUTDIR FIXTURE...: installs this build's entry into a copy of
// every fixture in every dialect it fits (and into a missing file), and once more followed by a
// removal, so that the interop tests can read the results with real parsers. Placeholders in
// the fixtures (@NAME@, @OTHER@, @SIDECAR@) are filled in for this program's identity, escaped
// for the file's syntax. OUTDIR/manifest.json describes every file written.
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/setup_internal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

using namespace quorvelin::mcpsetup;

namespace {

struct Dialect {
    ClientFormat format;
    const char *name;
    const char *suffix;
};

const Dialect kDialects[] = {
    {ClientFormat::McpServersJson, "mcpServers", ".json"},
    {ClientFormat::ZedContextServers, "zed", ".json"},
    {ClientFormat::OpenCodeMcp, "opencode", ".json"},
    {ClientFormat::CodexToml, "codex", ".toml"},
};

QString otherName() {
    return serverEntryName() == QLatin1String("quorvelin") ? QStringLiteral("quorvelin-dev")
                                                           : QStringLiteral("quorvelin");
}

// The sidecar path as it may stand inside a string of the file's syntax, quotes excluded.
QByteArray escapedPath(bool toml) {
    const QString path = sidecarCommandPath();
    if (toml)
        return QString(path)
            .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('"'), QStringLiteral("\\\""))
            .toUtf8();
    const QByteArray quoted = QJsonDocument(QJsonArray{path}).toJson(QJsonDocument::Compact);
    return quoted.mid(2, quoted.size() - 4);
}

QByteArray filled(QByteArray text, bool toml) {
    return text.replace("@NAME@", serverEntryName().toUtf8())
        .replace("@OTHER@", otherName().toUtf8())
        .replace("@SIDECAR@", escapedPath(toml));
}

QJsonObject record(const QString &source, const QString &file, const Dialect &dialect,
                   const QString &operation, const InstallResult &result) {
    return {{QStringLiteral("source"), source},
            {QStringLiteral("file"), file},
            {QStringLiteral("format"), QLatin1String(dialect.name)},
            {QStringLiteral("operation"), operation},
            {QStringLiteral("ok"), result.ok},
            {QStringLiteral("message"), result.message},
            {QStringLiteral("backup"), result.backupPath}};
}

bool writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: quorvelin-interop-configwriter OUTDIR FIXTURE...\n");
        return 2;
    }
    const QString outDir = arguments.first();
    QDir().mkpath(outDir);
    QJsonArray records;
    // An empty source stands for a file that does not exist yet.
    QStringList sources = arguments.mid(1);
    sources.prepend(QString());
    for (const QString &source : std::as_const(sources)) {
        QByteArray original;
        if (!source.isEmpty()) {
            QFile file(source);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(source));
                return 1;
            }
            original = file.readAll();
        }
        const QString base =
            source.isEmpty() ? QStringLiteral("new") : QFileInfo(source).fileName();
        for (const Dialect &dialect : kDialects) {
            const bool toml = dialect.format == ClientFormat::CodexToml;
            if (!source.isEmpty() && source.endsWith(QLatin1String(".toml")) != toml)
                continue;
            const QByteArray content = filled(original, toml);
            const QString stem =
                outDir + QLatin1Char('/') + base + QLatin1Char('.') + QLatin1String(dialect.name);
            const QString installed = stem + QStringLiteral(".installed") + dialect.suffix;
            const QString removed = stem + QStringLiteral(".removed") + dialect.suffix;
            const QString input = stem + QStringLiteral(".input") + dialect.suffix;
            if (!source.isEmpty() && (!writeBytes(installed, content) ||
                                      !writeBytes(removed, content) || !writeBytes(input, content)))
                return 1;
            QJsonObject first = record(input, installed, dialect, QStringLiteral("install"),
                                       installToFile(installed, dialect.format));
            if (source.isEmpty())
                first.insert(QStringLiteral("source"), QJsonValue());
            records.append(first);
            installToFile(removed, dialect.format);
            QJsonObject second = record(input, removed, dialect, QStringLiteral("install+remove"),
                                        removeFromFile(removed, dialect.format));
            if (source.isEmpty())
                second.insert(QStringLiteral("source"), QJsonValue());
            records.append(second);
        }
    }
    const QJsonObject manifest{{QStringLiteral("entryName"), serverEntryName()},
                               {QStringLiteral("command"), sidecarCommandPath()},
                               {QStringLiteral("devWorld"), isDevWorld()},
                               {QStringLiteral("records"), records}};
    return writeBytes(outDir + QStringLiteral("/manifest.json"), QJsonDocument(manifest).toJson())
               ? 0
               : 1;
}
