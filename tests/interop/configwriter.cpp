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

const std::pair<ClientFormat, const char *> kDialects[] = {
    {ClientFormat::McpServersJson, "mcpServers"},
    {ClientFormat::ZedContextServers, "zed"},
    {ClientFormat::OpenCodeMcp, "opencode"},
    {ClientFormat::CodexToml, "codex"}};

// Each on a copy of its own: the install alone, and the install followed by a removal.
const std::pair<const char *, bool> kOperations[] = {{"install", false}, {"install+remove", true}};

// Inside the quotes of a string: JSON's escapes are valid in a TOML basic string too.
QByteArray escaped(const QString &text) {
    const QByteArray quoted = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return quoted.mid(2, quoted.size() - 4);
}

QByteArray filled(QByteArray text) {
    const bool release = serverEntryName() == QLatin1String("quorvelin");
    return text.replace("@NAME@", serverEntryName().toUtf8())
        .replace("@OTHER@", release ? "quorvelin-dev" : "quorvelin")
        .replace("@SIDECAR@", escaped(sidecarCommandPath()));
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
    // An empty source stands for a file that does not exist yet, so nothing is written first.
    for (const QString &source : QStringList{QString()} + arguments.mid(1)) {
        QFile file(source);
        if (!source.isEmpty() && !file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(source));
            return 1;
        }
        const QByteArray content = filled(file.isOpen() ? file.readAll() : QByteArray());
        const QString base = file.isOpen() ? QFileInfo(source).fileName() : QStringLiteral("new");
        for (const auto &[format, dialect] : kDialects) {
            const QString suffix = format == ClientFormat::CodexToml ? ".toml" : ".json";
            if (file.isOpen() && !source.endsWith(suffix))
                continue;
            const QString stem = QStringLiteral("%1/%2.%3").arg(outDir, base, dialect);
            const QString input = stem + ".input" + suffix;
            for (const auto &[operation, remove] : kOperations) {
                const QString path = stem + (remove ? ".removed" : ".installed") + suffix;
                for (const QString &copy : {input, path})
                    if (file.isOpen() && !writeBytes(copy, content))
                        return 1;
                InstallResult result = installToFile(path, format);
                if (remove)
                    result = removeFromFile(path, format);
                records.append(
                    QJsonObject{{"source", file.isOpen() ? QJsonValue(input) : QJsonValue()},
                                {"file", path},
                                {"format", dialect},
                                {"operation", operation},
                                {"ok", result.ok},
                                {"message", result.message},
                                {"backup", result.backupPath}});
            }
        }
    }
    const QJsonObject manifest{{"entryName", serverEntryName()},
                               {"command", sidecarCommandPath()},
                               {"devWorld", isDevWorld()},
                               {"records", records}};
    return writeBytes(outDir + "/manifest.json", QJsonDocument(manifest).toJson()) ? 0 : 1;
}
