// Install and remove over arbitrary file contents in every dialect. The first byte picks the
// dialect (bits 0-1), the operation (bit 2: remove instead of install) and whether it is checked
// (bit 3); the rest is the file. Never a crash; a failed run leaves the file byte-identical; a
// file with content is never rewritten without a backup byte-identical to the old content; a
// checked run never leaves a file its client loaded unable to load.
#include "mcpsetup/install.h"
#include "fuzzsupport.h"
#include "mcpsetup/setup_p.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

using namespace quorvelin;
using namespace quorvelin::mcpsetup;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    fuzz::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto format = ClientFormat(data[0] & 3);
    const bool remove = data[0] & 4;
    const ConfigOptions options{false, bool(data[0] & 8)};
    const QByteArray old = input.mid(1);

    const fuzz::ScratchFile file(QStringLiteral("config"), old);
    const QString path = file.path();
    const InstallResult result =
        remove ? removeFromFile(path, format, options) : installToFile(path, format, options);
    const QByteArray now = file.content();
    if (result.configPath != path)
        fuzz::fail("configPath is not the path passed in", input);
    if (!result.ok && now != old)
        fuzz::fail("a failed run changed the file", input);
    if (!result.ok && result.message.isEmpty())
        fuzz::fail("a failed run has no message", input);
    if (!result.backupPath.isEmpty() && fuzz::ScratchFile::read(result.backupPath) != old)
        fuzz::fail("the backup differs from the old file", input);
    if (now != old && !old.isEmpty() && result.backupPath.isEmpty())
        fuzz::fail("a file with content was rewritten without a backup", input);
    if (result.ok && now != old && format != ClientFormat::CodexToml &&
        !QJsonDocument::fromJson(now).isObject())
        fuzz::fail("a rewritten JSON file is not a JSON object", input);
    const Dialect &row = dialect(format);
    if (options.checked && clientLoad(row, old).loads && !clientLoad(row, now).loads)
        fuzz::fail("a checked run left a file its client loaded unable to load", input);
    return 0;
}
