// Any reply line of a GUI program through the sidecar's fast relay: where it takes the line, it
// writes byte for byte what Qt's serialiser writes for the object Qt parses from it, and tells
// "isError" as the yield retry reads it; where it declines, it leaves nothing behind.
#include "sidecar/relay.h"
#include "fuzzsupport.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

using namespace quorvelin;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    fuzz::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray reply =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    sidecar::Pieces pieces;
    bool isError = false;
    if (!sidecar::relayReply(reply, &pieces, &isError)) {
        if (!pieces.isEmpty())
            fuzz::fail("a declined reply left pieces behind", reply);
        return 0;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(reply, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        fuzz::fail("the relay took a line that Qt does not read as an object", reply);
    if (pieces.joined() != document.toJson(QJsonDocument::Compact))
        fuzz::fail("the relay wrote other bytes than Qt's serialiser", reply);
    if (isError != document.object().value(QStringLiteral("isError")).toBool(false))
        fuzz::fail("the relay told \"isError\" otherwise than Qt reads it", reply);
    return 0;
}
