// The one place that reads TOML as Codex does (TOML 1.0, through toml++). The line model stays
// the writer; this only judges a text before and after a change, and tells the doctor what the
// client will see.
#include "mcpsetup/jsonc_p.h"
#include "mcpsetup/setup_p.h"

#include <QJsonDocument>

#include <string_view>

#include <toml++/toml.h>

namespace quorvelin::mcpsetup {

namespace {

ClientLoad tomlLoad(const QByteArray &content) {
    const toml::parse_result result =
        toml::parse(std::string_view(content.constData(), size_t(content.size())));
    if (result)
        return {};
    const toml::parse_error &error = result.error();
    return {false, int(error.source().begin.line),
            QString::fromUtf8(error.description().data(), qsizetype(error.description().size()))};
}

ClientLoad jsoncLoad(const QByteArray &content) {
    const JsoncDocument document = readJsonc(content);
    if (document.error.isEmpty())
        return {};
    return {false, document.errorLine, document.error};
}

ClientLoad jsonLoad(const QByteArray &content) {
    QJsonParseError error;
    QJsonDocument::fromJson(content, &error);
    if (error.error == QJsonParseError::NoError)
        return {};
    const int line = int(content.left(error.offset).count('\n')) + 1;
    return {false, line, error.errorString()};
}

} // namespace

ClientLoad clientLoad(const Dialect &dialect, const QByteArray &content) {
    if (content.isEmpty())
        return {};
    if (dialect.file.toml)
        return tomlLoad(content);
    return dialect.format == ClientFormat::ZedContextServers ? jsoncLoad(content)
                                                             : jsonLoad(content);
}

TomlEntry tomlEntry(const QByteArray &content, const QString &name) {
    TomlEntry entry;
    toml::parse_result result =
        toml::parse(std::string_view(content.constData(), size_t(content.size())));
    if (!result)
        return entry;
    const QByteArray key = name.toUtf8();
    const toml::node_view<toml::node> node =
        result.table()["mcp_servers"][std::string_view(key.constData(), size_t(key.size()))];
    const toml::table *table = node.as_table();
    if (!table)
        return entry;
    entry.present = true;
    entry.line = int(table->source().begin.line);
    entry.inlineTable = table->is_inline();
    if (const std::optional<std::string_view> command =
            (*table)["command"].value<std::string_view>())
        entry.command = QString::fromUtf8(command->data(), qsizetype(command->size()));
    return entry;
}

} // namespace quorvelin::mcpsetup
