#include "mcpsetup/identity.h"
#include "mcpsetup/setup_internal.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace quorvelin::mcpsetup {

namespace {

// The two entry names there are; the one that is not this build's belongs to the other world.
const char *const kEntryNames[] = {"quorvelin", "quorvelin-dev"};

// An empty file is a new one; any top level but an object reads as the empty object.
bool parse(const QByteArray &content, QJsonObject &root, QString &error) {
    if (content.isEmpty())
        return true;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = parseError.errorString();
        return false;
    }
    root = document.object();
    return true;
}

// Members of the root are written back in sorted order and re-indented, as Qt writes them.
void rewrite(ConfigEdit &edit, QJsonObject root, const QString &key, const QJsonObject &servers) {
    root.insert(key, servers);
    edit.changed = true;
    edit.bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
}

ConfigEdit install(const Dialect &dialect, const QByteArray &old) {
    ConfigEdit edit;
    QJsonObject root;
    if (!parse(old, root, edit.parseError))
        return edit;
    const QString key = QLatin1String(dialect.containerKey);
    const QString name = serverEntryName();
    QJsonObject servers = root.value(key).toObject();
    edit.replaced = servers.contains(name);
    servers.insert(name, dialect.entry());
    for (const char *entryName : kEntryNames) {
        const QString other = QLatin1String(entryName);
        if (other == name || !servers.contains(other))
            continue;
        const QString command = dialect.command(servers.value(other));
        if (command.isEmpty() || !QFileInfo::exists(command)) {
            servers.remove(other);
            ++edit.staleRemoved;
        }
    }
    rewrite(edit, root, key, servers);
    return edit;
}

// Only this build's entry goes; the container stays, even when empty.
ConfigEdit remove(const Dialect &dialect, const QByteArray &old) {
    ConfigEdit edit;
    QJsonObject root;
    if (!parse(old, root, edit.parseError))
        return edit;
    const QString key = QLatin1String(dialect.containerKey);
    QJsonObject servers = root.value(key).toObject();
    const QString name = serverEntryName();
    edit.replaced = servers.contains(name);
    if (edit.replaced) {
        servers.remove(name);
        rewrite(edit, root, key, servers);
    }
    return edit;
}

EntryLookup lookup(const Dialect &dialect, const QByteArray &content) {
    EntryLookup entry;
    QJsonObject root;
    QString error;
    entry.parsed = parse(content, root, error);
    const QJsonObject servers = root.value(QLatin1String(dialect.containerKey)).toObject();
    const QString name = serverEntryName();
    entry.found = servers.contains(name);
    entry.command = dialect.command(servers.value(name));
    return entry;
}

} // namespace

const FileModel kJsonFile{install, remove, lookup, false};

} // namespace quorvelin::mcpsetup
