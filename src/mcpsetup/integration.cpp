#include "mcpsetup/integration.h"

#include "mcpsetup/identity.h"
#include "mcpsetup/setup_internal.h"

#include <QDir>
#include <QFileInfo>

namespace quorvelin::mcpsetup {

namespace {

struct Escape {
    char letter;
    char value;
};

// Any other escaped character stands for itself.
const Escape kEscapes[] = {{'n', '\n'}, {'t', '\t'}};

QChar unescaped(QChar c) {
    for (const Escape &escape : kEscapes) {
        if (c == QLatin1Char(escape.letter))
            return QLatin1Char(escape.value);
    }
    return c;
}

QString basicString(const QString &value) {
    QString text;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('"'))
            break;
        if (c != QLatin1Char('\\'))
            text.append(c);
        else if (i + 1 < value.size())
            text.append(unescaped(value.at(++i)));
        else
            text.append(c);
    }
    return text;
}

QString literalString(const QString &value) {
    const qsizetype close = value.indexOf(QLatin1Char('\''), 1);
    return close < 0 ? QString() : value.mid(1, close - 1);
}

// Only string values name a command; a missing closing double quote is forgiven.
QString commandValue(const QString &value) {
    if (value.startsWith(QLatin1Char('"')))
        return basicString(value);
    if (value.startsWith(QLatin1Char('\'')))
        return literalString(value);
    return QString();
}

QString unquotedKey(const QString &key) {
    const bool quoted = key.size() >= 2 && key.front() == key.back() &&
                        (key.front() == QLatin1Char('"') || key.front() == QLatin1Char('\''));
    return quoted ? key.mid(1, key.size() - 2) : key;
}

QString tomlCommand(const TomlSection &section) {
    for (qsizetype i = 1; i < section.lines.size(); ++i) {
        const QString line = section.lines.at(i).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || equals < 0)
            continue;
        if (unquotedKey(line.left(equals).trimmed()) == QLatin1String("command"))
            return commandValue(line.mid(equals + 1).trimmed());
    }
    return QString();
}

IntegrationStatus compared(const QString &command) {
    IntegrationStatus status;
    status.command = command;
    const bool ours = !command.isEmpty() &&
                      normalizePath(command) == normalizePath(sidecarExePath()) &&
                      QFileInfo::exists(command);
    status.state = ours ? IntegrationState::Installed : IntegrationState::Mismatch;
    return status;
}

IntegrationStatus checkJson(const QString &path, ClientFormat format) {
    const ConfigReadResult config = readConfigObject(path);
    if (!config.present)
        return {};
    if (!config.ok)
        return {IntegrationState::Unreadable, QString()};
    const QJsonObject servers = config.root.value(containerKey(format)).toObject();
    const QString name = serverEntryName();
    if (!servers.contains(name))
        return {};
    return compared(extractCommand(format, servers.value(name)));
}

IntegrationStatus checkToml(const QString &path) {
    const ConfigBytes file = readConfigBytes(path);
    if (!file.present)
        return {};
    if (!file.ok)
        return {IntegrationState::Unreadable, QString()};
    const QString name = serverEntryName();
    const TomlDoc doc = tomlParse(QString::fromUtf8(file.bytes));
    for (const TomlSection &section : doc.sections) {
        // Only the entry's own table; its sub-tables never hold the command.
        if (section.path.size() == 2 && isEntrySection(section, name))
            return compared(tomlCommand(section));
    }
    return {};
}

} // namespace

QString normalizePath(const QString &path) {
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(slashed).toLower();
}

IntegrationStatus checkIntegration(const QString &path, ClientFormat format) {
    return format == ClientFormat::CodexToml ? checkToml(path) : checkJson(path, format);
}

} // namespace quorvelin::mcpsetup
