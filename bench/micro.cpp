// Micro-benchmarks of the sidecar's hot paths, in-process over the I/O seam.
#include "mcpproto/initialize.h"
#include "sidecar/sidecar.h"

#include <QBuffer>
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

// Answers land here; rewound before every line so the buffer does not grow.
struct Sink {
    QByteArray bytes;
    QBuffer device{&bytes};
    Sink() { device.open(QIODevice::WriteOnly); }
};

void handle(benchmark::State &state, const QByteArray &line) {
    Sink sink;
    for (auto _ : state) {
        sink.device.seek(0);
        quorvelin::sidecar::handleLine(line, sink.device);
    }
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
