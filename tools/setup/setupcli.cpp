#include "setup/setupcli.h"

#include "mcpproto/protocol.h"
#include "mcpsetup/discovery.h"
#include "mcpsetup/doctor.h"
#include "mcpsetup/entry.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/integration.h"
#include "mcpsetup/probe.h"
#include "pathdisplay/pathdisplay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTextStream>

#include <algorithm>
#include <optional>

namespace quorvelin::setupcli {

namespace {

// Long enough for a cold start of the sidecar on a busy machine, short enough for a script.
constexpr int kDefaultBudgetMs = 10000;

const char kProgram[] = "quorvelin-mcp-setup";

// The command's own texts have a translation context of their own; the library's messages it
// passes on are in "QObject".
struct Text {
    Q_DECLARE_TR_FUNCTIONS(SetupCommand)
};

// What a command may take besides --json and --help.
enum Accepts : unsigned {
    kNothing = 0,
    kClientArgument = 1,
    kConfigOption = 2,
    kBudgetOption = 4,
    kKeepCommentsOption = 8,
    kUncheckedOption = 16,
    kOptionalClient = 32,
};

struct Invocation {
    bool json = false;
    mcpsetup::ConfigOptions options;
    QString client;
    QString configPath;
    int budgetMs = kDefaultBudgetMs;
};

struct Output {
    QTextStream &out;
    QTextStream &err;
    bool json = false;

    void record(const QJsonValue &value) {
        const QJsonDocument document =
            value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
        out << QString::fromUtf8(document.toJson(QJsonDocument::Indented));
        out.flush();
    }
};

using Handler = int (*)(const Invocation &, Output &);

struct Command {
    const char *name;
    const char *synopsis;
    const char *summary;
    const char *details;
    unsigned accepts;
    Handler run;
};

int usageError(QTextStream &err, const QString &message) {
    err << QLatin1String(kProgram) << ": " << message << '\n'
        << Text::tr("用 %1 --help 查看用法。").arg(QLatin1String(kProgram)) << '\n';
    return kUsageError;
}

// ---- records as JSON: member names are the records' field names

QJsonObject toJson(const mcpsetup::ProbeResult &r) {
    return {{QStringLiteral("ok"), r.ok},
            {QStringLiteral("toolCount"), r.toolCount},
            {QStringLiteral("elapsedMs"), r.elapsedMs},
            {QStringLiteral("protocolVersion"), r.protocolVersion},
            {QStringLiteral("serverName"), r.serverName},
            {QStringLiteral("serverBuild"), r.serverBuild},
            {QStringLiteral("error"), r.error}};
}

QJsonObject toJson(const mcpsetup::ClaudeCodeTarget &t) {
    return {{QStringLiteral("label"), t.label},
            {QStringLiteral("configPath"), t.configPath},
            {QStringLiteral("isDefault"), t.isDefault}};
}

QJsonObject toJson(const mcpsetup::InstallResult &r) {
    return {{QStringLiteral("ok"), r.ok},
            {QStringLiteral("configPath"), r.configPath},
            {QStringLiteral("backupPath"), r.backupPath},
            {QStringLiteral("replaced"), r.replaced},
            {QStringLiteral("staleRemoved"), r.staleRemoved},
            {QStringLiteral("message"), r.message}};
}

// An enumerator's name, as the JSON records give it ("CodexToml", "Installed", "Problem").
template <typename Enum> QString keyOf(Enum value) {
    return QString::fromLatin1(QMetaEnum::fromType<Enum>().valueToKey(int(value)));
}

// The integration state of one file, merged into the record that names the file.
QJsonObject withStatus(QJsonObject record, const mcpsetup::IntegrationStatus &status) {
    record.insert(QStringLiteral("state"), keyOf(status.state));
    record.insert(QStringLiteral("command"), status.command);
    return record;
}

QJsonObject toJson(const mcpsetup::McpClient &c) {
    return {{QStringLiteral("id"), c.id},
            {QStringLiteral("displayName"), c.displayName},
            {QStringLiteral("configPath"), c.configPath},
            {QStringLiteral("format"), keyOf(c.format)},
            {QStringLiteral("hasCli"), c.hasCli},
            {QStringLiteral("cliCommand"), c.cliCommand}};
}

// ---- text output: paths are shown with the home directory folded into "~"

QString shown(const QString &path) {
    return pathdisplay::forDisplay(path);
}

void printStatus(QTextStream &out, const mcpsetup::IntegrationStatus &status) {
    out << "    " << mcpsetup::integrationStateLabel(status.state);
    if (!status.command.isEmpty())
        out << Text::tr("（命令：%1）").arg(shown(status.command));
    out << '\n';
}

// ---- commands

// How the doctor marks a finding in text output.
const char *mark(mcpsetup::FindingState state) {
    switch (state) {
    case mcpsetup::FindingState::Problem:
        return "✗";
    case mcpsetup::FindingState::Warning:
        return "!";
    default:
        return "✓";
    }
}

QJsonObject toJson(const mcpsetup::Finding &f) {
    return {{QStringLiteral("clientId"), f.clientId},
            {QStringLiteral("state"), keyOf(f.state)},
            {QStringLiteral("text"), f.text},
            {QStringLiteral("hint"), f.hint}};
}

// Findings as the doctor shows them: a mark, the text and, indented, the hint.
void printFindings(QTextStream &stream, const QList<mcpsetup::Finding> &findings,
                   bool problemsOnly = false) {
    for (const mcpsetup::Finding &finding : findings) {
        if (problemsOnly && finding.state != mcpsetup::FindingState::Problem)
            continue;
        stream << "    " << mark(finding.state) << ' ' << finding.text << '\n';
        if (!finding.hint.isEmpty())
            stream << "      → " << finding.hint << '\n';
    }
}

bool hasProblem(const QList<mcpsetup::Finding> &findings) {
    return std::any_of(findings.begin(), findings.end(), [](const mcpsetup::Finding &finding) {
        return finding.state == mcpsetup::FindingState::Problem;
    });
}

int runProbe(const Invocation &invocation, Output &output) {
    const mcpsetup::ProbeResult r = mcpsetup::probeMcpServer(invocation.budgetMs);
    if (output.json)
        output.record(toJson(r));
    else if (r.ok)
        output.out << Text::tr("自检通过：%1（%2）· 协议 %3 · %n 个工具 · 用时 %4 ms", nullptr,
                               r.toolCount)
                          .arg(r.serverName, r.serverBuild, r.protocolVersion,
                               QString::number(r.elapsedMs))
                   << '\n';
    else
        output.err << Text::tr("自检失败：%1").arg(r.error) << '\n';
    // A misplaced sidecar explains most failures.
    if (!output.json && !r.ok)
        printFindings(output.err, mcpsetup::sidecarFindings(), true);
    return r.ok ? kSucceeded : kFailed;
}

// The sidecar at PATH (or beside this command): the doctor's checks of where it lies.
int runSidecar(const Invocation &invocation, Output &output) {
    const QList<mcpsetup::Finding> findings = mcpsetup::sidecarFindings(invocation.client);
    QJsonArray records;
    for (const mcpsetup::Finding &finding : findings)
        records.append(toJson(finding));
    if (output.json)
        output.record(records);
    else
        printFindings(output.out, findings);
    return hasProblem(findings) ? kFailed : kSucceeded;
}

int runClaudeTargets(const Invocation &, Output &output) {
    const QList<mcpsetup::ClaudeCodeTarget> targets = mcpsetup::discoverClaudeCodeTargets();
    QJsonArray records;
    for (const mcpsetup::ClaudeCodeTarget &target : targets) {
        const mcpsetup::IntegrationStatus status =
            mcpsetup::checkIntegration(target.configPath, mcpsetup::ClientFormat::McpServersJson);
        records.append(withStatus(toJson(target), status));
        if (output.json)
            continue;
        output.out << target.label << '\n' << "    " << shown(target.configPath) << '\n';
        printStatus(output.out, status);
    }
    if (output.json)
        output.record(records);
    return kSucceeded;
}

int runClients(const Invocation &invocation, Output &output) {
    const QList<mcpsetup::McpClient> clients = mcpsetup::knownClients();
    if (!output.json)
        printFindings(output.out, mcpsetup::sidecarFindings(), true);
    QJsonArray records;
    for (const mcpsetup::McpClient &client : clients) {
        const mcpsetup::IntegrationStatus status =
            mcpsetup::checkIntegration(client.configPath, client.format, invocation.options);
        records.append(withStatus(toJson(client), status));
        if (output.json)
            continue;
        output.out << client.displayName << "  " << client.id << "  "
                   << mcpsetup::formatLabel(client.format) << '\n'
                   << "    " << shown(client.configPath) << '\n';
        printStatus(output.out, status);
    }
    if (output.json)
        output.record(records);
    return kSucceeded;
}

// The catalogue row named on the command line; null after reporting an unknown id.
std::optional<mcpsetup::McpClient> findClient(const QString &id, QTextStream &err) {
    QStringList ids;
    const QList<mcpsetup::McpClient> clients = mcpsetup::knownClients();
    for (const mcpsetup::McpClient &client : clients) {
        if (client.id == id)
            return client;
        ids << client.id;
    }
    usageError(err, Text::tr("未知客户端：%1（可用：%2）").arg(id, ids.join(QStringLiteral(", "))));
    return std::nullopt;
}

// --config as given, with a leading "~" for the home directory (a quoted or "--config=~/..."
// argument reaches us unexpanded), made absolute; the client's own file without it.
QString targetPath(const Invocation &invocation, const mcpsetup::McpClient &client) {
    QString path = invocation.configPath;
    if (path.isEmpty())
        return client.configPath;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path.replace(0, 1, QDir::homePath());
    return QFileInfo(path).absoluteFilePath();
}

struct Change {
    mcpsetup::InstallResult (*apply)(const QString &, mcpsetup::ClientFormat,
                                     const mcpsetup::ConfigOptions &);
    const char *done;      // %1 client, %2 file
    const char *unchanged; // nothing to do; %1 client, %2 file
    const char *failed;    // %1 client, %2 message
};

const Change kInstall{mcpsetup::installToFile, QT_TRANSLATE_NOOP("SetupCommand", "已接入 %1：%2"),
                      nullptr, QT_TRANSLATE_NOOP("SetupCommand", "接入 %1 失败：%2")};
const Change kRemove{mcpsetup::removeFromFile,
                     QT_TRANSLATE_NOOP("SetupCommand", "已从 %1 移除：%2"),
                     QT_TRANSLATE_NOOP("SetupCommand", "%1 的配置中没有本构建的条目，未改动：%2"),
                     QT_TRANSLATE_NOOP("SetupCommand", "从 %1 移除失败：%2")};

int applyChange(const Change &change, const Invocation &invocation, Output &output) {
    const std::optional<mcpsetup::McpClient> client = findClient(invocation.client, output.err);
    if (!client)
        return kUsageError;
    const mcpsetup::InstallResult r =
        change.apply(targetPath(invocation, *client), client->format, invocation.options);
    if (output.json) {
        output.record(toJson(r));
    } else if (!r.ok) {
        output.err << Text::tr(change.failed).arg(client->displayName, r.message) << '\n';
    } else if (!r.replaced && change.unchanged) {
        output.out << Text::tr(change.unchanged).arg(client->displayName, shown(r.configPath))
                   << '\n';
    } else {
        QTextStream &out = output.out;
        out << Text::tr(change.done).arg(client->displayName, shown(r.configPath)) << '\n';
        if (change.unchanged == nullptr && r.replaced)
            out << "    " << Text::tr("已替换原有条目") << '\n';
        if (r.staleRemoved > 0)
            out << "    " << Text::tr("已清除 %n 个命令已不存在的旧条目", nullptr, r.staleRemoved)
                << '\n';
        out << "    "
            << (r.backupPath.isEmpty() ? Text::tr("无需备份（新文件或空文件）")
                                       : Text::tr("备份：%1").arg(shown(r.backupPath)))
            << '\n';
    }
    return r.ok ? kSucceeded : kFailed;
}

int runInstall(const Invocation &invocation, Output &output) {
    return applyChange(kInstall, invocation, output);
}

int runRemove(const Invocation &invocation, Output &output) {
    return applyChange(kRemove, invocation, output);
}

int runSnippet(const Invocation &invocation, Output &output) {
    const std::optional<mcpsetup::McpClient> client = findClient(invocation.client, output.err);
    if (!client)
        return kUsageError;
    const QString snippet = mcpsetup::buildMcpServerSnippet(client->format);
    if (output.json)
        output.record(QJsonObject{{QStringLiteral("id"), client->id},
                                  {QStringLiteral("format"), keyOf(client->format)},
                                  {QStringLiteral("snippet"), snippet}});
    else
        output.out << snippet;
    return kSucceeded;
}

// The installation first, then each client, its findings under its name.
int runDoctor(const Invocation &invocation, Output &output) {
    QList<mcpsetup::McpClient> clients = mcpsetup::knownClients();
    if (!invocation.client.isEmpty()) {
        const std::optional<mcpsetup::McpClient> client = findClient(invocation.client, output.err);
        if (!client)
            return kUsageError;
        clients = {*client};
    }
    QList<std::pair<QString, QList<mcpsetup::Finding>>> groups{
        {Text::tr("本机安装"), mcpsetup::installationFindings()}};
    for (const mcpsetup::McpClient &client : clients)
        groups.append({client.displayName + QStringLiteral("  ") + client.id,
                       mcpsetup::clientFindings(client)});
    QJsonArray records;
    bool problem = false;
    for (const auto &[heading, findings] : groups) {
        problem = problem || hasProblem(findings);
        for (const mcpsetup::Finding &finding : findings)
            records.append(toJson(finding));
        if (!output.json) {
            output.out << heading << '\n';
            printFindings(output.out, findings);
        }
    }
    if (output.json)
        output.record(records);
    return problem ? kFailed : kSucceeded;
}

const Command kCommands[] = {
    {"clients", "clients [--keep-comments] [--json]",
     QT_TRANSLATE_NOOP("SetupCommand",
                       "列出支持的客户端：配置格式、配置文件、接入状态与登记的命令"),
     QT_TRANSLATE_NOOP("SetupCommand",
                       "  --keep-comments 带注释或尾随逗号的 JSON 文件（如 Zed 的设置）也照常读取，"
                       "报告真实状态\n"
                       "状态：已接入、未接入、条目不符、无法读取。"),
     kKeepCommentsOption, runClients},
    {"install", "install CLIENT [--config PATH] [--keep-comments] [--unchecked] [--json]",
     QT_TRANSLATE_NOOP("SetupCommand", "把本构建的 sidecar 接入客户端的配置文件（改写前先备份）"),
     QT_TRANSLATE_NOOP("SetupCommand",
                       "  CLIENT          客户端标识，见 clients 命令\n"
                       "  --config PATH   改写这个文件（按该客户端的格式），例如 claude-targets "
                       "列出的实例配置\n"
                       "  --keep-comments 文件带注释或尾随逗号时就地改写：只动本构建的条目，"
                       "注释与其余内容原样保留\n"
                       "  --unchecked     不检查改写后客户端能否加载该文件（默认会拒绝写出"
                       "客户端无法加载的文件，并说明原因）\n"
                       "退出状态：成功为 0，失败为 1（消息说明原因），用法错误为 2。"),
     kClientArgument | kConfigOption | kKeepCommentsOption | kUncheckedOption, runInstall},
    {"remove", "remove CLIENT [--config PATH] [--keep-comments] [--unchecked] [--json]",
     QT_TRANSLATE_NOOP("SetupCommand", "从客户端的配置文件中移除本构建的条目（改写前先备份）"),
     QT_TRANSLATE_NOOP("SetupCommand",
                       "  CLIENT          客户端标识，见 clients 命令\n"
                       "  --config PATH   改写这个文件（按该客户端的格式）\n"
                       "  --keep-comments 文件带注释或尾随逗号时就地改写，删去本构建的条目"
                       "（及因此变空的容器），注释与其余内容原样保留\n"
                       "  --unchecked     不检查改写后客户端能否加载该文件\n"
                       "没有可移除的条目也算成功，文件不动。\n"
                       "退出状态：成功为 0，失败为 1（消息说明原因），用法错误为 2。"),
     kClientArgument | kConfigOption | kKeepCommentsOption | kUncheckedOption, runRemove},
    {"snippet", "snippet CLIENT [--json]",
     QT_TRANSLATE_NOOP("SetupCommand", "打印该客户端格式的配置片段，供手工粘贴"),
     QT_TRANSLATE_NOOP("SetupCommand", "  CLIENT          客户端标识，见 clients 命令"),
     kClientArgument, runSnippet},
    {"probe", "probe [--budget-ms N] [--json]",
     QT_TRANSLATE_NOOP("SetupCommand",
                       "启动 sidecar，完成 MCP 握手（initialize 与 tools/list）并报告结果"),
     QT_TRANSLATE_NOOP("SetupCommand",
                       "  --budget-ms N   整个自检的时间预算，单位毫秒（默认 10000）\n"
                       "退出状态：两个应答都在预算内到达为 0，否则为 1。"),
     kBudgetOption, runProbe},
    {"doctor", "doctor [CLIENT] [--json]",
     QT_TRANSLATE_NOOP("SetupCommand",
                       "诊断客户端为何看不到本机的 MCP 服务：配置文件、条目、遮蔽它的"
                       "配置、sidecar、主程序与工具目录"),
     QT_TRANSLATE_NOOP("SetupCommand", "  CLIENT          只诊断这个客户端（默认诊断全部客户端）\n"
                                       "每一项发现标为 ✓ 正常、! 警告或 ✗ 问题，并附处理建议。\n"
                                       "退出状态：没有问题为 0，有问题为 1（警告不算）。"),
     kOptionalClient, runDoctor},
    {"sidecar", "sidecar [PATH] [--json]",
     QT_TRANSLATE_NOOP("SetupCommand",
                       "检查 MCP sidecar 放得对不对：是文件、可执行、旁边有 GUI 桥接模块"),
     QT_TRANSLATE_NOOP("SetupCommand",
                       "  PATH            要检查的 sidecar（默认为本命令旁边的 quorvelin-mcp）\n"
                       "退出状态：没有问题为 0，有问题为 1。"),
     kOptionalClient, runSidecar},
    {"claude-targets", "claude-targets [--json]",
     QT_TRANSLATE_NOOP("SetupCommand",
                       "列出本构建的 Claude Code 默认配置及各实例配置，并显示接入状态"),
     QT_TRANSLATE_NOOP("SetupCommand", "每个路径都可作为 install/remove 的 --config 参数。"),
     kNothing, runClaudeTargets},
};

const Command *findCommand(const QString &name) {
    for (const Command &command : kCommands) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

// ---- help and usage errors

void printOverview(QTextStream &stream) {
    stream << Text::tr("用法：%1 <命令> [选项]").arg(QLatin1String(kProgram)) << "\n\n"
           << Text::tr("不借助图形界面，把 Quorvelin 的 MCP 服务接入 AI 客户端、移除并自检。")
           << "\n\n"
           << Text::tr("命令：") << '\n';
    for (const Command &command : kCommands)
        stream << "  " << QLatin1String(command.synopsis) << "\n      "
               << Text::tr(command.summary) << '\n';
    stream << '\n'
           << Text::tr("选项：") << '\n'
           << "  --json      " << Text::tr("以 JSON 输出记录，标准输出上不再有其他内容") << '\n'
           << "  -h, --help  " << Text::tr("显示帮助；写在命令之后则显示该命令的帮助") << '\n'
           << "  --version   " << Text::tr("显示版本") << "\n\n"
           << Text::tr("退出状态：0 成功，1 执行失败（消息说明原因），2 用法错误。") << '\n';
}

void printCommandHelp(QTextStream &stream, const Command &command) {
    stream << Text::tr("用法：%1 %2").arg(QLatin1String(kProgram), QLatin1String(command.synopsis))
           << "\n\n"
           << Text::tr(command.summary) << "\n\n"
           << Text::tr("选项：") << '\n'
           << "  --json          " << Text::tr("以 JSON 输出记录，标准输出上不再有其他内容") << '\n'
           << Text::tr(command.details) << '\n';
}

// ---- parsing

// The options that only some commands take; --json and --help go with every command.
struct CommandOption {
    const char *name;
    const char *valueName; // empty for a flag
    Accepts flag;
};

const CommandOption kCommandOptions[] = {
    {"config", "PATH", kConfigOption},
    {"budget-ms", "N", kBudgetOption},
    {"keep-comments", "", kKeepCommentsOption},
    {"unchecked", "", kUncheckedOption},
};

QString spelled(const CommandOption &option) {
    return QStringLiteral("--") + QLatin1String(option.name);
}

// Where the first argument stands that is no option of ours, arguments.size() if none. The
// parser would take "--", "--h" and "-hh", and would name only a part of "--x=1" or "-xy".
qsizetype unknownOptionAt(const QStringList &arguments) {
    QStringList flags{QStringLiteral("-"), QStringLiteral("-h"), QStringLiteral("--help"),
                      QStringLiteral("--json"), QStringLiteral("--version")};
    QStringList valued;
    for (const CommandOption &option : kCommandOptions)
        (*option.valueName ? valued : flags).append(spelled(option));
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (valued.contains(argument))
            ++i; // its value, whatever it looks like
        else if (argument.startsWith(QLatin1Char('-')) && !flags.contains(argument) &&
                 !valued.contains(argument.section(QLatin1Char('='), 0, 0)))
            return i;
    }
    return arguments.size();
}

// Reads the arguments into `parser` and `invocation`; returns the first error in line, if any.
QString parse(const QStringList &arguments, QCommandLineParser &parser, Invocation &invocation) {
    // Options may follow the command too.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions({QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
                       QCommandLineOption(QStringLiteral("json")),
                       QCommandLineOption(QStringLiteral("version"))});
    for (const CommandOption &option : kCommandOptions)
        parser.addOption(QCommandLineOption(QLatin1String(option.name), QString(),
                                            QLatin1String(option.valueName)));
    // Nothing after an unknown option is read, so that a bad value before it comes first.
    const qsizetype unknown = unknownOptionAt(arguments);
    const bool complete =
        parser.parse(QStringList{QLatin1String(kProgram)} + arguments.mid(0, unknown));
    // Values are taken in the order given; a list runs dry only at an option lacking its value.
    QStringList paths = parser.values(QStringLiteral("config"));
    QStringList budgets = parser.values(QStringLiteral("budget-ms"));
    const QStringList names = parser.optionNames();
    for (const QString &name : names) {
        if (name == QLatin1String("config") && !paths.isEmpty()) {
            invocation.configPath = paths.takeFirst();
            if (invocation.configPath.isEmpty())
                return Text::tr("--config 需要一个文件路径");
        } else if (name == QLatin1String("budget-ms") && !budgets.isEmpty()) {
            const QString value = budgets.takeFirst();
            bool ok = false;
            invocation.budgetMs = value.toInt(&ok);
            if (!ok || invocation.budgetMs <= 0)
                return Text::tr("--budget-ms 需要一个正整数（毫秒），而不是“%1”").arg(value);
        }
    }
    if (unknown < arguments.size())
        return Text::tr("未知选项：%1").arg(arguments.at(unknown));
    if (!complete) // only the last argument can lack its value
        return Text::tr("选项 %1 缺少取值").arg(arguments.last());
    invocation.json = parser.isSet(QStringLiteral("json"));
    invocation.options.keepComments = parser.isSet(QStringLiteral("keep-comments"));
    invocation.options.checked = !parser.isSet(QStringLiteral("unchecked"));
    return QString();
}

// Why the arguments do not fit the command; empty when they do.
QString checkFit(const Command &command, const QCommandLineParser &parser,
                 const QStringList &positionals) {
    const QString name = QLatin1String(command.name);
    for (const CommandOption &option : kCommandOptions) {
        if (parser.isSet(QLatin1String(option.name)) && !(command.accepts & option.flag))
            return Text::tr("命令 %1 不接受选项 %2").arg(name, spelled(option));
    }
    const bool takesClient = command.accepts & (kClientArgument | kOptionalClient);
    if ((command.accepts & kClientArgument) && positionals.isEmpty())
        return Text::tr("命令 %1 需要一个客户端标识（CLIENT），可用 clients 命令查看").arg(name);
    if (positionals.size() > (takesClient ? 1 : 0))
        return Text::tr("多余的参数：%1").arg(positionals.value(takesClient ? 1 : 0));
    return QString();
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    QCommandLineParser parser;
    Invocation invocation;
    const QString error = parse(arguments, parser, invocation);
    if (!error.isEmpty())
        return usageError(err, error);
    if (parser.isSet(QStringLiteral("version"))) {
        out << Text::tr("%1 %2（MCP 服务器 %3）")
                   .arg(QLatin1String(kProgram), mcpsetup::productVersion(),
                        mcpproto::serverVersion())
            << '\n';
        return kSucceeded;
    }
    QStringList positionals = parser.positionalArguments();
    // Empty arguments before the command have always been passed over.
    while (!positionals.isEmpty() && positionals.constFirst().isEmpty())
        positionals.removeFirst();
    const bool help = parser.isSet(QStringLiteral("help"));
    if (positionals.isEmpty()) {
        printOverview(help ? out : err);
        return help ? kSucceeded : kUsageError;
    }
    const QString commandName = positionals.takeFirst();
    const Command *command = findCommand(commandName);
    if (!command)
        return usageError(err, Text::tr("未知命令：%1").arg(commandName));
    if (help) {
        printCommandHelp(out, *command);
        return kSucceeded;
    }
    const QString misfit = checkFit(*command, parser, positionals);
    if (!misfit.isEmpty())
        return usageError(err, misfit);
    invocation.client = positionals.value(0);
    Output output{out, err, invocation.json};
    return command->run(invocation, output);
}

} // namespace quorvelin::setupcli
