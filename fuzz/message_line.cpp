// Message lines into the sidecar's handler, one after another as the read loop hands them over:
// nothing crashes or hangs, no line gets more than one answer line, every answer line is a JSON
// object with "jsonrpc" "2.0", byte for byte as Qt's serialiser writes that object, the quick way
// of plain lines answers what the general way answers, and the request it writes for a tool call
// is the one the general way writes.
#include "fuzzsupport.h"
#include "sidecar/sidecar.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <cstddef>
#include <cstdint>

using namespace quorvelin;

namespace {

// A small catalogue, so tools/list has something to serialise.
const char kCatalogue[] = R"({"tools":[{"name":"screenshot_fullscreen","description":"截全屏",)"
                          R"("inputSchema":{"type":"object","properties":{}}}]})";

void checkAnswer(const QByteArray &line, const QByteArray &answer) {
    if (answer.isEmpty())
        return;
    if (!answer.endsWith('\n') || answer.count('\n') != 1)
        fuzz::fail("an answer is not exactly one line", line);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer.chopped(1), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        fuzz::fail("an answer line is not a JSON object", line);
    if (document.object().value(QStringLiteral("jsonrpc")) != QStringLiteral("2.0"))
        fuzz::fail("an answer line lacks \"jsonrpc\" \"2.0\"", line);
    // The envelope is joined by hand; it must be what Qt's serialiser writes for it.
    if (document.toJson(QJsonDocument::Compact) + '\n' != answer)
        fuzz::fail("an answer line differs from Qt's serialisation of it", line);
}

// No GUI program listens here, so the request a quick tool call would send is compared directly.
void checkToolRequest(const QByteArray &line) {
    const QByteArray request = sidecar::plainToolRequest(line);
    if (request.isEmpty())
        return;
    const QJsonObject params =
        QJsonDocument::fromJson(line).object().value(QStringLiteral("params")).toObject();
    if (request != sidecar::bridgeRequestLine(params.value(QStringLiteral("name")).toString(),
                                              params.value(QStringLiteral("arguments")).toObject(),
                                              QString()))
        fuzz::fail("the quick tool request differs from the general one", line);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    fuzz::setUp(argc, argv);
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    QFile catalogue(dataDir + QStringLiteral("/mcp-tools.json"));
    if (catalogue.open(QIODevice::WriteOnly))
        catalogue.write(kCatalogue);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // The read loop splits at "\n" and never hands the terminator on.
    for (const QByteArray &line : input.split('\n')) {
        const QByteArray answer = sidecar::handleLine(line);
        checkAnswer(line, answer);
        if (answer != sidecar::generalAnswerTo(line, sidecar::forwardToGuiBridge).joined())
            fuzz::fail("the quick answer differs from the general one", line);
        checkToolRequest(line);
    }
    return 0;
}
