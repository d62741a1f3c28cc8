#include "mcpsetup/setup_internal.h"

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

} // namespace

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
