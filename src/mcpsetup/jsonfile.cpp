#include "mcpsetup/identity.h"
#include "mcpsetup/jsonc_p.h"
#include "mcpsetup/setup_p.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QObject>

namespace quorvelin::mcpsetup {

namespace {

// The two entry names there are; the one that is not this build's belongs to the other world.
const char *const kEntryNames[] = {"quorvelin", "quorvelin-dev"};

bool isStale(const Dialect &dialect, const QJsonValue &entry) {
    const QString command = dialect.command(entry);
    return command.isEmpty() || !QFileInfo::exists(command);
}

// A JSON file's top-level object and the dialect's container in it.
struct Servers {
    QJsonObject root;
    QString key;
    QJsonObject servers;
};

// An empty file is a new one; any top level but an object reads as the empty object, any
// container but an object as an empty one. False, with Qt's reason, when it is not JSON.
bool parse(const Dialect &dialect, const QByteArray &content, Servers &file, QString &error) {
    file.key = QLatin1String(dialect.containerKey);
    if (content.isEmpty())
        return true;
    QJsonParseError parseError;
    file.root = QJsonDocument::fromJson(content, &parseError).object();
    file.servers = file.root.value(file.key).toObject();
    error = parseError.error == QJsonParseError::NoError ? QString() : parseError.errorString();
    return error.isEmpty();
}

// Members of the root are written back in sorted order and re-indented, as Qt writes them.
void rewrite(ConfigEdit &edit, Servers file) {
    file.root.insert(file.key, file.servers);
    edit.changed = true;
    edit.bytes = QJsonDocument(file.root).toJson(QJsonDocument::Indented);
}

ConfigEdit install(const Dialect &dialect, const QByteArray &old) {
    ConfigEdit edit;
    Servers file;
    if (!parse(dialect, old, file, edit.parseError))
        return edit;
    const QString name = serverEntryName();
    QJsonObject &servers = file.servers;
    edit.replaced = servers.contains(name);
    servers.insert(name, dialect.entry());
    for (const char *entryName : kEntryNames) {
        const QString other = QLatin1String(entryName);
        if (other == name || !servers.contains(other))
            continue;
        if (isStale(dialect, servers.value(other))) {
            servers.remove(other);
            ++edit.staleRemoved;
        }
    }
    rewrite(edit, file);
    return edit;
}

// Only this build's entry goes; the container stays, even when empty.
ConfigEdit remove(const Dialect &dialect, const QByteArray &old) {
    ConfigEdit edit;
    Servers file;
    if (!parse(dialect, old, file, edit.parseError))
        return edit;
    const QString name = serverEntryName();
    edit.replaced = file.servers.contains(name);
    if (edit.replaced) {
        file.servers.remove(name);
        rewrite(edit, file);
    }
    return edit;
}

EntryLookup lookup(const Dialect &dialect, const QByteArray &content) {
    EntryLookup entry;
    Servers file;
    QString error;
    entry.parsed = parse(dialect, content, file, error);
    const QString name = serverEntryName();
    entry.found = file.servers.contains(name);
    entry.command = dialect.command(file.servers.value(name));
    return entry;
}

// --- JSON with comments, edited in place. Every step reads the text afresh, so each edit works
// on the positions of the text it changes.

// The document, or why it cannot be edited: not JSON with comments, or no object at the top.
bool readObject(const QByteArray &text, JsoncDocument &document, QString &error) {
    document = readJsonc(text);
    error = document.error;
    if (error.isEmpty() && !document.root.value.isObject())
        error = QObject::tr("顶层不是 JSON 对象");
    return error.isEmpty();
}

// The dialect's container in the document when it is an object, else null.
const JsoncValue *container(const JsoncDocument &document, const Dialect &dialect) {
    const JsoncMember *member = jsoncMember(document.root, QLatin1String(dialect.containerKey));
    return member && member->value.value.isObject() ? &member->value : nullptr;
}

ConfigEdit installKeepingComments(const Dialect &dialect, const QByteArray &old) {
    ConfigEdit edit;
    JsoncDocument document;
    if (!readObject(old, document, edit.parseError))
        return edit;
    const QString name = serverEntryName();
    QByteArray text = old;
    for (const char *entryName : kEntryNames) {
        const QString other = QLatin1String(entryName);
        const JsoncValue *servers = container(document, dialect);
        const JsoncMember *member = servers ? jsoncMember(*servers, other) : nullptr;
        if (other == name || !member || !isStale(dialect, member->value.value))
            continue;
        text = removeJsoncMember(text, *servers, other);
        ++edit.staleRemoved;
        readObject(text, document, edit.parseError);
    }
    const QJsonObject entry = dialect.entry();
    const JsoncValue *servers = container(document, dialect);
    edit.replaced = servers && jsoncMember(*servers, name);
    text = servers ? setJsoncMember(text, *servers, name, entry)
                   : setJsoncMember(text, document.root, QLatin1String(dialect.containerKey),
                                    QJsonObject{{name, entry}});
    // What was written must read back, as JSON with comments, to exactly this entry.
    if (!readObject(text, document, edit.parseError) || !container(document, dialect) ||
        container(document, dialect)->value.toObject().value(name) != entry) {
        edit.parseError = QObject::tr("保留注释的改写未能得到有效的条目");
        return edit;
    }
    edit.changed = true;
    edit.bytes = text;
    return edit;
}

// A container left empty goes with our entry, so that remove after install gives the original.
ConfigEdit removeKeepingComments(const Dialect &dialect, const QByteArray &old) {
    ConfigEdit edit;
    JsoncDocument document;
    if (!readObject(old, document, edit.parseError))
        return edit.parseError == QObject::tr("顶层不是 JSON 对象") ? ConfigEdit() : edit;
    const QString name = serverEntryName();
    const JsoncValue *servers = container(document, dialect);
    edit.replaced = servers && jsoncMember(*servers, name);
    if (!edit.replaced)
        return edit;
    edit.changed = true;
    edit.bytes = servers->members.size() == 1
                     ? removeJsoncMember(old, document.root, QLatin1String(dialect.containerKey))
                     : removeJsoncMember(old, *servers, name);
    return edit;
}

EntryLookup lookupKeepingComments(const Dialect &dialect, const QByteArray &content) {
    const JsoncDocument document = readJsonc(content);
    EntryLookup entry;
    entry.parsed = document.error.isEmpty();
    const JsoncValue *servers = container(document, dialect);
    const QJsonValue value = servers ? servers->value.toObject().value(serverEntryName())
                                     : QJsonValue(QJsonValue::Undefined);
    entry.found = !value.isUndefined();
    entry.command = dialect.command(value);
    return entry;
}

} // namespace

const FileModel kJsonFile{install, remove, lookup, false};
const FileModel kJsoncFile{installKeepingComments, removeKeepingComments, lookupKeepingComments,
                           false};

} // namespace quorvelin::mcpsetup
