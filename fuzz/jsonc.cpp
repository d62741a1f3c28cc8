// Arbitrary text as a JSON-with-comments settings file. The first byte picks the JSON dialect.
// The reader never crashes; a text it accepts whose container holds neither entry name comes
// back byte for byte from an install followed by a remove that keep comments, the install having
// written exactly this build's entry; a text that neither it nor Qt's parser accepts is left
// byte-identical by install and remove.
#include "fuzzsupport.h"
#include "mcpsetup/identity.h"
#include "mcpsetup/install.h"
#include "mcpsetup/jsonc_p.h"
#include "mcpsetup/setup_p.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

using namespace quorvelin;
using namespace quorvelin::mcpsetup;

namespace {

// The dialect's container as the edit sees it: absent, an object, or something else.
enum class Container { Absent, Empty, Filled, Other };

Container containerOf(const JsoncDocument &document, const Dialect &dialect) {
    const JsoncMember *member = jsoncMember(document.root, QLatin1String(dialect.containerKey));
    if (!member)
        return Container::Absent;
    if (!member->value.value.isObject())
        return Container::Other;
    return member->value.members.empty() ? Container::Empty : Container::Filled;
}

bool holdsAnEntry(const JsoncDocument &document, const Dialect &dialect) {
    const JsoncMember *member = jsoncMember(document.root, QLatin1String(dialect.containerKey));
    const QJsonObject servers = member ? member->value.value.toObject() : QJsonObject();
    return servers.contains(QStringLiteral("quorvelin")) ||
           servers.contains(QStringLiteral("quorvelin-dev"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    fuzz::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const Dialect &dialect = mcpsetup::dialect(ClientFormat(data[0] % 3));
    const QByteArray text = input.mid(1);
    const JsoncDocument document = readJsonc(text);

    if (!document.error.isEmpty()) {
        QJsonParseError error;
        QJsonDocument::fromJson(text, &error);
        if (error.error == QJsonParseError::NoError || text.isEmpty())
            return 0;
        const fuzz::ScratchFile file(QStringLiteral("settings.json"), text);
        const ConfigOptions keep{true};
        installToFile(file.path(), dialect.format, keep);
        removeFromFile(file.path(), dialect.format, keep);
        if (file.content() != text)
            fuzz::fail("a text that is not JSON with comments was changed", input);
        return 0;
    }
    if (!document.root.value.isObject())
        return 0;

    const Container container = containerOf(document, dialect);
    const ConfigEdit installed = kJsoncFile.install(dialect, text);
    if (!installed.parseError.isEmpty() || !installed.changed)
        fuzz::fail("install into JSON with comments failed", input);
    const JsoncDocument after = readJsonc(installed.bytes);
    const JsoncMember *servers = jsoncMember(after.root, QLatin1String(dialect.containerKey));
    if (!after.error.isEmpty() || !servers ||
        servers->value.value.toObject().value(serverEntryName()) != dialect.entry())
        fuzz::fail("the installed text does not hold exactly this build's entry", input);
    if (holdsAnEntry(document, dialect) || container == Container::Other)
        return 0;

    const ConfigEdit removed = kJsoncFile.remove(dialect, installed.bytes);
    if (!removed.changed || !readJsonc(removed.bytes).error.isEmpty())
        fuzz::fail("remove after install failed", input);
    // An empty container goes with the entry; anything else comes back as it was.
    if (container != Container::Empty && removed.bytes != text)
        fuzz::fail("install then remove did not give the text back", input);
    if (container == Container::Empty &&
        containerOf(readJsonc(removed.bytes), dialect) != Container::Absent)
        fuzz::fail("remove left the emptied container", input);
    return 0;
}
