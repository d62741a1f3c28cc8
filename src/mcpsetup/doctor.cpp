#include "mcpsetup/doctor.h"

#include "mcpproto/bridgemodule.h"
#include "mcpproto/protocol.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/jsonc_p.h"
#include "mcpsetup/probe.h"
#include "mcpsetup/setup_p.h"
#include "pathdisplay/pathdisplay.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QObject>

#include <algorithm>

namespace quorvelin::mcpsetup {

namespace {

using pathdisplay::forDisplay;

// How long the doctor waits for the GUI program to accept a connection, as the sidecar does.
constexpr int kConnectMs = 300;

Finding ok(const QString &text) {
    return {QString(), FindingState::Ok, text, QString()};
}

Finding warning(const QString &text, const QString &hint) {
    return {QString(), FindingState::Warning, text, hint};
}

Finding problem(const QString &text, const QString &hint) {
    return {QString(), FindingState::Problem, text, hint};
}

bool isOurs(const QString &command) {
    return normalizePath(command) == normalizePath(sidecarExePath());
}

// The object of a JSON file read as its client reads it (Zed: with comments); empty otherwise.
QJsonObject clientRoot(const Dialect &dialect, const QByteArray &content) {
    if (dialect.format == ClientFormat::ZedContextServers)
        return readJsonc(content).root.value.toObject();
    return QJsonDocument::fromJson(content).object();
}

QJsonObject servers(const QJsonObject &root, const Dialect &dialect) {
    return root.value(QLatin1String(dialect.containerKey)).toObject();
}

// The line where each 2-part table header [mcp_servers.<name>] of the line model stands.
QList<int> entryTableLines(const QByteArray &content) {
    const TomlDoc doc = tomlParse(QString::fromUtf8(content));
    QList<int> lines;
    qsizetype line = doc.preamble.size() + 1;
    for (const TomlSection &section : doc.sections) {
        if (section.path.size() == 2 && isEntrySection(section, serverEntryName()))
            lines.append(int(line));
        line += section.lines.size();
    }
    return lines;
}

struct Entry {
    bool found = false;
    QString command;
};

// The entry as the client sees it; for Codex also whether the line model sees the same.
Entry entryOf(const Dialect &dialect, const QByteArray &content, QList<Finding> &findings) {
    const QString name = serverEntryName();
    if (!dialect.file.toml) {
        const QJsonObject container = servers(clientRoot(dialect, content), dialect);
        return {container.contains(name), dialect.command(container.value(name))};
    }
    const TomlEntry entry = tomlEntry(content, name);
    const QList<int> tables = entryTableLines(content);
    if (entry.present && tables.isEmpty()) {
        const QString text = entry.inlineTable
                                 ? QObject::tr("第 %1 行用内联表写成了 mcp_servers.%2；接入与移除只"
                                               "改写 [mcp_servers.%2] 表，不会动它")
                                 : QObject::tr("第 %1 行用点号键写成了 mcp_servers.%2；接入与移除只"
                                               "改写 [mcp_servers.%2] 表，不会动它");
        findings.append(warning(text.arg(QString::number(entry.line), name),
                                QObject::tr("把它改写成 [mcp_servers.%1] 表。").arg(name)));
    }
    if (!entry.present && !tables.isEmpty())
        findings.append(warning(
            QObject::tr("第 %1 行的 [mcp_servers.%2] 在 TOML 里并不是一个表（例如在多行字符串中），"
                        "接入与移除却会改动那几行")
                .arg(QString::number(tables.constFirst()), name),
            QObject::tr("手工编辑这个文件。")));
    return {entry.present, entry.command};
}

QList<Finding> entryFindings(const Entry &entry, const QString &path) {
    const QString name = serverEntryName();
    if (!entry.found)
        return {warning(QObject::tr("%1 中没有 %2 条目：未接入").arg(forDisplay(path), name),
                        QObject::tr("接入这个客户端。"))};
    const QString hint =
        QObject::tr("重新接入这个客户端，让条目启动 %1。").arg(forDisplay(sidecarExePath()));
    if (entry.command.isEmpty())
        return {problem(QObject::tr("条目 %1 没有可用的命令").arg(name), hint)};
    if (!isOurs(entry.command)) {
        const QString text = QFileInfo::exists(entry.command)
                                 ? QObject::tr("条目 %1 启动的是另一个程序：%2")
                                 : QObject::tr("条目 %1 要启动的程序不存在：%2");
        return {problem(text.arg(name, forDisplay(entry.command)), hint)};
    }
    QList<Finding> findings = sidecarFindings(entry.command);
    if (findings.size() == 1 && findings.constFirst().state == FindingState::Ok)
        return {ok(QObject::tr("条目 %1 启动本机的 MCP sidecar").arg(name))};
    return findings;
}

// --- What may shadow the entry, per client

// Claude Code: an entry of the same name in a project scope wins in that project.
QList<Finding> projectScopes(const McpClient &client) {
    const QJsonObject projects = QJsonDocument::fromJson(readConfigBytes(client.configPath).bytes)
                                     .object()
                                     .value(QStringLiteral("projects"))
                                     .toObject();
    const QString name = serverEntryName();
    QStringList shadowed;
    for (auto it = projects.begin(); it != projects.end(); ++it) {
        const QJsonObject scope =
            it.value().toObject().value(QStringLiteral("mcpServers")).toObject();
        if (scope.contains(name) && !isOurs(dialect(client.format).command(scope.value(name))))
            shadowed.append(it.key());
    }
    if (shadowed.isEmpty())
        return {};
    return {problem(QObject::tr("这些项目里另有同名条目 %1，在那里它优先生效：%2")
                        .arg(name, shadowed.join(QObject::tr("、", "between the items of a list"))),
                    QObject::tr("在 %1 里这些项目的 mcpServers 中删去 %2。")
                        .arg(forDisplay(client.configPath), name))};
}

// OpenCode: opencode.jsonc beside opencode.json.
QList<Finding> openCodeSibling(const McpClient &client) {
    const QString sibling = client.configPath + QLatin1Char('c');
    const ConfigBytes file = readConfigBytes(sibling);
    if (!file.present)
        return {};
    const QJsonValue entry = readJsonc(file.bytes)
                                 .root.value.toObject()
                                 .value(QStringLiteral("mcp"))
                                 .toObject()
                                 .value(serverEntryName());
    const QString command = dialect(client.format).command(entry);
    if (!entry.isUndefined() && !isOurs(command))
        return {problem(QObject::tr("%1 也定义了 %2，指向 %3")
                            .arg(forDisplay(sibling), serverEntryName(), forDisplay(command)),
                        QObject::tr("删去其中一处，只留一个配置文件。"))};
    return {warning(QObject::tr("%1 与 %2 并存，OpenCode 两个都会读取")
                        .arg(forDisplay(sibling), forDisplay(client.configPath)),
                    QObject::tr("把两者合并成一个文件。"))};
}

// Cline: its command-line client keeps its servers in a file of its own.
QList<Finding> clineCommandLine(const McpClient &) {
    const QString path =
        QDir::homePath() + QStringLiteral("/.cline/data/settings/cline_mcp_settings.json");
    const ConfigBytes file = readConfigBytes(path);
    if (!file.present)
        return {};
    const QJsonObject container =
        QJsonDocument::fromJson(file.bytes).object().value(QStringLiteral("mcpServers")).toObject();
    const QString name = serverEntryName();
    if (!container.contains(name))
        return {warning(
            QObject::tr("Cline 命令行客户端读取的是 %1，其中没有 %2").arg(forDisplay(path), name),
            QObject::tr("若使用 Cline 命令行客户端，也把这个文件接入。"))};
    const QString command =
        container.value(name).toObject().value(QStringLiteral("command")).toString();
    if (!isOurs(command))
        return {problem(
            QObject::tr("Cline 命令行客户端的 %1 中，%2 启动的是另一个程序：%3")
                .arg(forDisplay(path), name, forDisplay(command)),
            QObject::tr("重新接入这个文件，让条目启动 %1。").arg(forDisplay(sidecarExePath())))};
    return {ok(QObject::tr("Cline 命令行客户端的 %1 也已接入").arg(forDisplay(path)))};
}

struct Shadow {
    const char *clientId;
    QList<Finding> (*findings)(const McpClient &client);
};

const Shadow kShadows[] = {
    {"claude-code", projectScopes},
    {"opencode", openCodeSibling},
    {"cline", clineCommandLine},
};

QList<Finding> fileAndEntry(const McpClient &client) {
    const Dialect &row = dialect(client.format);
    const ConfigBytes file = readConfigBytes(client.configPath);
    const QString shown = forDisplay(client.configPath);
    if (!file.present)
        return {warning(QObject::tr("没有配置文件 %1").arg(shown),
                        QObject::tr("接入这个客户端时会创建它。"))};
    if (!file.ok)
        return {problem(QObject::tr("无法读取配置文件 %1").arg(shown),
                        QObject::tr("检查这个文件的权限。"))};
    const ClientLoad load = clientLoad(row, file.bytes);
    if (!load.loads) {
        if (!row.file.toml && readJsonc(file.bytes).error.isEmpty())
            return {problem(QObject::tr("%1 含注释或尾随逗号，而 %2 按严格的 JSON 读取它")
                                .arg(shown, client.displayName),
                            QObject::tr("删去注释与尾随逗号。"))};
        return {
            problem(QObject::tr("%1 无法被 %2 加载（第 %3 行：%4）")
                        .arg(shown, client.displayName, QString::number(load.line), load.reason),
                    QObject::tr("修正这一处；在此之前 %1 不会启动其中的任何 MCP 服务器。")
                        .arg(client.displayName))};
    }
    QList<Finding> findings{ok(QObject::tr("配置文件可以加载：%1").arg(shown))};
    const Entry entry = entryOf(row, file.bytes, findings);
    findings.append(entryFindings(entry, client.configPath));
    return findings;
}

} // namespace

QList<Finding> sidecarFindings(const QString &path) {
    const QString sidecar = path.isEmpty() ? sidecarExePath() : path;
    const QFileInfo info(sidecar);
    const QString shown = forDisplay(sidecar);
    const QString reinstall = QObject::tr("重新安装 Quorvelin：sidecar 应与主程序在同一目录。");
    if (!info.exists())
        return {problem(QObject::tr("未找到 MCP sidecar：%1").arg(shown), reinstall)};
    if (info.isDir())
        return {problem(QObject::tr("%1 是一个目录，不是 MCP sidecar 程序").arg(shown),
                        QObject::tr("删去或改名这个目录，再重新安装 Quorvelin。"))};
    QList<Finding> findings;
    if (!info.isExecutable())
        findings.append(problem(QObject::tr("MCP sidecar 没有执行权限：%1").arg(shown),
                                QObject::tr("恢复它的执行权限，或重新安装 Quorvelin。")));
    const mcpproto::BridgeModule module = mcpproto::loadBridgeModule(info.absolutePath());
    if (!module.error.isEmpty())
        findings.append(problem(
            QObject::tr("MCP sidecar 旁边没有可用的 GUI 桥接模块 %1，每个工具调用都会得到 "
                        "[need_gui]（%2）")
                .arg(QLatin1String(mcpproto::kBridgeModuleName), module.error),
            QObject::tr("把 %1 放到 sidecar 所在的目录 %2（重新安装 Quorvelin 即可）。")
                .arg(QLatin1String(mcpproto::kBridgeModuleName), forDisplay(info.absolutePath()))));
    if (findings.isEmpty())
        findings.append(ok(QObject::tr("MCP sidecar 就绪：%1").arg(shown)));
    return findings;
}

QList<Finding> installationFindings(int probeBudgetMs) {
    QList<Finding> findings = sidecarFindings();
    const bool ready = findings.size() == 1 && findings.constFirst().state == FindingState::Ok;
    if (ready) {
        const ProbeResult probe = probeMcpServer(probeBudgetMs);
        findings.append(
            probe.ok ? ok(QObject::tr("自检通过：%1（%2）· 协议 %3 · %n 个工具 · 用时 %4 ms",
                                      nullptr, probe.toolCount)
                              .arg(probe.serverName, probe.serverBuild, probe.protocolVersion,
                                   QString::number(probe.elapsedMs)))
                     : problem(QObject::tr("自检失败：%1").arg(probe.error),
                               QObject::tr("sidecar 无法完成 MCP 握手；重新安装 Quorvelin。")));
        const mcpproto::BridgeModule module =
            mcpproto::loadBridgeModule(QFileInfo(sidecarExePath()).absolutePath());
        findings.append(
            module.connects && module.connects(mcpproto::bridgeAddress(), kConnectMs)
                ? ok(QObject::tr("Quorvelin 主程序正在应答（%1）").arg(mcpproto::socketName()))
                : warning(QObject::tr("Quorvelin 主程序此刻没有应答（%1），工具调用会得到 "
                                      "[need_gui]")
                              .arg(mcpproto::socketName()),
                          QObject::tr("打开 Quorvelin（它会常驻托盘）。")));
    }
    const QString catalogue = toolCataloguePath();
    const ConfigBytes file = readConfigBytes(catalogue);
    const QJsonValue tools =
        QJsonDocument::fromJson(file.bytes).object().value(QStringLiteral("tools"));
    const QString hint = QObject::tr("启动一次 Quorvelin 主程序，它会写入工具目录。");
    if (!file.present)
        findings.append(warning(
            QObject::tr("还没有工具目录 %1，tools/list 会是空的").arg(forDisplay(catalogue)),
            hint));
    else if (!tools.isArray())
        findings.append(warning(QObject::tr("工具目录 %1 里没有 tools 数组，tools/list 会是空的")
                                    .arg(forDisplay(catalogue)),
                                hint));
    else
        findings.append(
            ok(QObject::tr("工具目录：%n 个工具", nullptr, int(tools.toArray().size()))));
    return findings;
}

QList<Finding> clientFindings(const McpClient &client) {
    QList<Finding> findings = fileAndEntry(client);
    for (const Shadow &shadow : kShadows) {
        if (client.id == QLatin1String(shadow.clientId))
            findings.append(shadow.findings(client));
    }
    for (Finding &finding : findings)
        finding.clientId = client.id;
    return findings;
}

} // namespace quorvelin::mcpsetup
