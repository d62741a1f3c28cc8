// Micro-benchmarks of the sidecar's hot paths, in-process over the I/O seam.
#include "mcpproto/initialize.h"
#include "mcpsetup/install.h"
#include "mcpsetup/setup_p.h"
#include "sidecar/relay.h"
#include "sidecar/sidecar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void handle(benchmark::State &state, const QByteArray &line) {
    for (auto _ : state)
        benchmark::DoNotOptimize(quorvelin::sidecar::handleLine(line));
    state.SetBytesProcessed(qint64(state.iterations()) * line.size());
}

void BM_HandleLinePing(benchmark::State &state) {
    handle(state, R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
}
BENCHMARK(BM_HandleLinePing);

void BM_HandleLineUnknownMethod(benchmark::State &state) {
    handle(state, R"({"jsonrpc":"2.0","id":"a-string-id","method":"no/such","params":{"x":1}})");
}
BENCHMARK(BM_HandleLineUnknownMethod);

void BM_HandleLineInitialize(benchmark::State &state) {
    handle(state, R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{)"
                  R"("protocolVersion":"2024-11-05","capabilities":{"roots":{}},)"
                  R"("clientInfo":{"name":"bench","version":"1.0.0"}}})");
}
BENCHMARK(BM_HandleLineInitialize);

void BM_InitializeResult(benchmark::State &state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            quorvelin::mcpproto::initializeResult(QStringLiteral("2024-11-05")));
}
BENCHMARK(BM_InitializeResult);

// A catalogue of the size a full GUI program writes: 200 tools with descriptions and schemas.
QByteArray catalogue(int count) {
    QJsonArray tools;
    for (int i = 0; i < count; ++i) {
        const QJsonObject property{{QStringLiteral("type"), QStringLiteral("string")},
                                   {QStringLiteral("description"),
                                    QStringLiteral("Which region of the screen to use; one of "
                                                   "full, window, selection or a rectangle.")}};
        tools.append(QJsonObject{
            {QStringLiteral("name"), QStringLiteral("tool_%1").arg(i)},
            {QStringLiteral("description"),
             QStringLiteral("Tool number %1: captures, annotates or recognises text in a part "
                            "of the screen and returns the result to the model.")
                 .arg(i)},
            {QStringLiteral("inputSchema"),
             QJsonObject{
                 {QStringLiteral("type"), QStringLiteral("object")},
                 {QStringLiteral("properties"), QJsonObject{{QStringLiteral("region"), property},
                                                            {QStringLiteral("label"), property}}},
                 {QStringLiteral("required"), QJsonArray{QStringLiteral("region")}}}}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("tools"), tools}}).toJson();
}

void BM_HandleLineToolsList200(benchmark::State &state) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    QFile file(dir + QStringLiteral("/mcp-tools.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(catalogue(200)) < 0) {
        state.SkipWithError("cannot write the tool catalogue");
        return;
    }
    file.close();
    handle(state, R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})");
}
BENCHMARK(BM_HandleLineToolsList200);

// A 10 MiB screenshot reply as a GUI program writes it: one image item, members not sorted.
QByteArray imageReply() {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray data(10 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = kAlphabet[(i * 7919) & 63];
    return R"({"content":[{"type":"image","data":")" + data + R"(","mimeType":"image/png"}]})";
}

// What the sidecar does with such a reply: relays it, its data pointed at, not copied.
void BM_RelayImageReply10MiB(benchmark::State &state) {
    const QByteArray reply = imageReply();
    for (auto _ : state) {
        quorvelin::sidecar::Pieces pieces;
        bool isError = false;
        benchmark::DoNotOptimize(quorvelin::sidecar::relayReply(reply, &pieces, &isError));
    }
    state.SetBytesProcessed(qint64(state.iterations()) * reply.size());
}
BENCHMARK(BM_RelayImageReply10MiB)->Unit(benchmark::kMillisecond);

// What the general way costs for it: Qt's parse and compact serialisation, nothing else.
void BM_QtParseAndWriteImageReply10MiB(benchmark::State &state) {
    const QByteArray reply = imageReply();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            QJsonDocument(QJsonDocument::fromJson(reply).object()).toJson(QJsonDocument::Compact));
    state.SetBytesProcessed(qint64(state.iterations()) * reply.size());
}
BENCHMARK(BM_QtParseAndWriteImageReply10MiB)->Unit(benchmark::kMillisecond);

// A Codex configuration of about 2,000 lines: many servers' tables, comments, blank lines.
QString codexConfig(int lineCount) {
    QString text = QStringLiteral("# Codex configuration\nmodel = \"o4\"\n\n");
    for (int server = 0, lines = 3; lines < lineCount; ++server, lines += 8)
        text += QStringLiteral("[mcp_servers.server_%1]\ncommand = \"/usr/local/bin/server-%1\"\n"
                               "args = [\"--port\", \"%1\"]\n# server %1 of the team\n\n"
                               "[mcp_servers.server_%1.env]\nTOKEN = \"secret-%1\"\n\n")
                    .arg(server);
    return text;
}

void BM_TomlParse2000Lines(benchmark::State &state) {
    const QString text = codexConfig(2000);
    for (auto _ : state)
        benchmark::DoNotOptimize(quorvelin::mcpsetup::tomlParse(text));
}
BENCHMARK(BM_TomlParse2000Lines)->Unit(benchmark::kMicrosecond);

// A Claude Code .claude.json of about 5 MB: many projects, each with its prompt history.
QByteArray claudeJson(qint64 size) {
    QJsonObject projects;
    qint64 written = 0;
    for (int project = 0; written < size; ++project) {
        QJsonArray history;
        for (int entry = 0; entry < 100; ++entry)
            history.append(QJsonObject{
                {QStringLiteral("display"),
                 QStringLiteral("请找出第 %1 张截图里的错误 / find the error in capture %1")
                     .arg(entry)},
                {QStringLiteral("pastedContents"), QJsonObject()}});
        const QJsonObject value{{QStringLiteral("history"), history},
                                {QStringLiteral("mcpServers"), QJsonObject()},
                                {QStringLiteral("allowedTools"), QJsonArray()}};
        written += QJsonDocument(value).toJson().size();
        projects.insert(QStringLiteral("/home/user/src/project-%1").arg(project), value);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("numStartups"), 412},
                                     {QStringLiteral("projects"), projects},
                                     {QStringLiteral("mcpServers"), QJsonObject()}})
        .toJson();
}

// Backup, parse, merge and indented write; the file is put back and the backup removed between
// iterations, outside the timing.
void BM_InstallInto5MbClaudeJson(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/.claude.json");
    const QByteArray original = claudeJson(5 * 1000 * 1000);
    for (auto _ : state) {
        state.PauseTiming();
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(original) != original.size()) {
            state.SkipWithError("cannot write the configuration file");
            return;
        }
        file.close();
        state.ResumeTiming();
        const auto result = quorvelin::mcpsetup::installToFile(
            path, quorvelin::mcpsetup::ClientFormat::McpServersJson);
        if (!result.ok) {
            state.SkipWithError(result.message.toUtf8().constData());
            return;
        }
    }
    state.SetBytesProcessed(qint64(state.iterations()) * original.size());
}
BENCHMARK(BM_InstallInto5MbClaudeJson)->Unit(benchmark::kMillisecond)->UseRealTime();

void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    // A private data directory, so the catalogue written here is nobody else's.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brenlow"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorvelin"));
    // The initialize log line is still formatted, only not printed.
    qInstallMessageHandler(discard);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
