#include "mcpsetup/identity.h"
#include "mcpsetup/setup_p.h"

namespace quorvelin::mcpsetup {

namespace {

bool isHeaderLine(const QString &line) {
    return line.trimmed().startsWith(QLatin1Char('['));
}

// Splits a header name at dots outside quotes; quotes are dropped, no escapes exist.
QStringList dottedName(const QString &name) {
    QStringList parts;
    QString part;
    QChar quote;
    bool quoted = false;
    for (const QChar c : name) {
        if (quoted) {
            if (c == quote)
                quoted = false;
            else
                part.append(c);
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quoted = true;
            quote = c;
        } else if (c == QLatin1Char('.')) {
            parts.append(part.trimmed());
            part.clear();
        } else {
            part.append(c);
        }
    }
    parts.append(part.trimmed());
    return parts;
}

TomlSection startSection(const QString &headerLine) {
    TomlSection section;
    const QString header = headerLine.trimmed();
    section.isArrayTable = header.startsWith(QLatin1String("[["));
    const qsizetype openerLength = section.isArrayTable ? 2 : 1;
    const qsizetype closer =
        header.lastIndexOf(section.isArrayTable ? QLatin1String("]]") : QLatin1String("]"));
    // The last closer wins, so a trailing comment holding "]" becomes part of the name.
    if (closer >= openerLength)
        section.path = dottedName(header.mid(openerLength, closer - openerLength));
    section.lines.append(headerLine);
    return section;
}

// --- Reading the command of an entry table; only string values name one.

// A backslash before n or t is a control character; before anything else, that character.
QString basicString(const QString &value) {
    QString text;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('"'))
            break;
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            text.append(c);
            continue;
        }
        const QChar escaped = value.at(++i);
        text.append(escaped == QLatin1Char('n')   ? QChar(u'\n')
                    : escaped == QLatin1Char('t') ? QChar(u'\t')
                                                  : escaped);
    }
    return text;
}

QString literalString(const QString &value) {
    const qsizetype close = value.indexOf(QLatin1Char('\''), 1);
    return close < 0 ? QString() : value.mid(1, close - 1);
}

// A missing closing double quote is forgiven.
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

// The first "command" key of the table, skipping its header, comments and lines without "=".
QString tableCommand(const TomlSection &section) {
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

// --- The Codex file model: this build's tables go, every other line stays verbatim.

// Preamble and every table that is not this build's; `dropped` tells whether one was.
QStringList linesWithoutEntry(const TomlDoc &doc, bool &dropped) {
    const QString name = serverEntryName();
    QStringList lines = doc.preamble;
    dropped = false;
    for (const TomlSection &section : doc.sections) {
        if (isEntrySection(section, name))
            dropped = true;
        else
            lines.append(section.lines);
    }
    while (!lines.isEmpty() && lines.constLast().trimmed().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray joined(const QStringList &lines, const QString &eol) {
    return lines.isEmpty() ? QByteArray() : (lines.join(eol) + eol).toUtf8();
}

// This build's table moves to the end, after one blank line.
ConfigEdit install(const Dialect &, const QByteArray &old) {
    const TomlDoc doc = tomlParse(QString::fromUtf8(old));
    ConfigEdit edit;
    QStringList lines = linesWithoutEntry(doc, edit.replaced);
    if (!lines.isEmpty())
        lines.append(QString());
    lines.append(codexOurSectionLines());
    edit.changed = true;
    edit.bytes = joined(lines, doc.eol);
    return edit;
}

ConfigEdit remove(const Dialect &, const QByteArray &old) {
    const TomlDoc doc = tomlParse(QString::fromUtf8(old));
    ConfigEdit edit;
    const QStringList lines = linesWithoutEntry(doc, edit.replaced);
    edit.changed = edit.replaced;
    edit.bytes = joined(lines, doc.eol);
    return edit;
}

// Only the entry's own table: its sub-tables never hold the command.
EntryLookup lookup(const Dialect &, const QByteArray &content) {
    const TomlDoc doc = tomlParse(QString::fromUtf8(content));
    const QString name = serverEntryName();
    EntryLookup entry;
    for (const TomlSection &section : doc.sections) {
        if (section.path.size() == 2 && isEntrySection(section, name)) {
            entry.found = true;
            entry.command = tableCommand(section);
            break;
        }
    }
    return entry;
}

} // namespace

const FileModel kTomlFile{install, remove, lookup, true};

TomlDoc tomlParse(const QString &text) {
    TomlDoc doc;
    if (text.contains(QLatin1String("\r\n")))
        doc.eol = QStringLiteral("\r\n");
    const QStringList lines = text.split(doc.eol, Qt::KeepEmptyParts);
    for (const QString &line : lines) {
        if (isHeaderLine(line))
            doc.sections.append(startSection(line));
        else if (doc.sections.isEmpty())
            doc.preamble.append(line);
        else
            doc.sections.last().lines.append(line);
    }
    return doc;
}

bool isEntrySection(const TomlSection &section, const QString &name) {
    return !section.isArrayTable && section.path.size() >= 2 &&
           section.path.at(0) == QLatin1String("mcp_servers") && section.path.at(1) == name;
}

} // namespace quorvelin::mcpsetup
