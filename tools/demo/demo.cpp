#include "demo/demo.h"

#include "mcpsetup/identity.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

namespace quorvelin::demo {

namespace {

// Long answers (the instructions) are cut for the screen; the wire carries them whole.
constexpr int kShownChars = 200;

QTextStream &console() {
    static QTextStream stream(stdout);
    return stream;
}

struct Step {
    const char *comment;
    const char *request;
    bool expectsAnswer;
};

const Step kSession[] = {
    {"Handshake: the client names its revision and itself.",
     R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2024-11-05","capabilities":{"roots":{}},"clientInfo":{"name":"demo-client","version":"1.0"}}})",
     true},
    {"Notifications get no answer.", R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
     false},
    {"The tools the GUI program offers, read from its catalogue file.",
     R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})", true},
    {"The workflow prompts.", R"({"jsonrpc":"2.0","id":3,"method":"prompts/list"})", true},
    {"One prompt, with an argument.",
     R"({"jsonrpc":"2.0","id":4,"method":"prompts/get","params":{"name":"archive-recent","arguments":{"count":"12"}}})",
     true},
    {"A prompt name is matched exactly.",
     R"({"jsonrpc":"2.0","id":5,"method":"prompts/get","params":{"name":"Archive-Recent"}})", true},
    {"Malformed lines are dropped silently; the session goes on.", R"({"jsonrpc":"2.0","id":6,)",
     false},
    {"Unknown methods are refused.",
     R"({"jsonrpc":"2.0","id":7,"method":"sampling/createMessage"})", true},
    {"Liveness.", R"({"jsonrpc":"2.0","id":8,"method":"ping"})", true},
};

QString shown(const QByteArray &line) {
    const QString text = QString::fromUtf8(line);
    if (text.size() <= kShownChars)
        return text;
    return text.left(kShownChars) + QStringLiteral("… (%1 bytes)").arg(line.size());
}

void writeDemoCatalogue(const QString &appDataDir) {
    QDir().mkpath(appDataDir);
    const auto tool = [](const char *name, const char *description) {
        return QJsonObject{{QStringLiteral("name"), QString::fromUtf8(name)},
                           {QStringLiteral("description"), QString::fromUtf8(description)},
                           {QStringLiteral("inputSchema"),
                            QJsonObject{{QStringLiteral("type"), QStringLiteral("object")}}}};
    };
    const QJsonObject catalogue{
        {QStringLiteral("tools"),
         QJsonArray{tool("screenshot_fullscreen", "Capture the whole screen"),
                    tool("list_recent_shots", "List the latest captures")}}};
    QFile file(appDataDir + QStringLiteral("/mcp-tools.json"));
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(catalogue).toJson());
}

// Reads one answer line, or gives up after a few seconds.
QByteArray readAnswer(QProcess &sidecar) {
    QElapsedTimer clock;
    clock.start();
    while (!sidecar.canReadLine() && clock.elapsed() < 5000) {
        if (!sidecar.waitForReadyRead(int(5000 - clock.elapsed())))
            break;
    }
    QByteArray line = sidecar.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    return line;
}

} // namespace

int runDemo() {
    QTemporaryDir home;
    if (!home.isValid()) {
        console() << "cannot create a temporary home\n";
        return 1;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QUORVELIN_DEV"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("TMPDIR"), home.path());
    writeDemoCatalogue(home.path() + QStringLiteral("/data/Brenlow/Quorvelin"));

    QProcess sidecar;
    sidecar.setProcessEnvironment(environment);
    sidecar.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString program = mcpsetup::sidecarExePath();
    console() << "# sidecar: " << program << "\n# home:    " << home.path()
              << "\n# (log lines of the sidecar go to standard error)\n\n";
    console().flush();
    sidecar.start(program, QStringList());
    if (!sidecar.waitForStarted(3000)) {
        console() << "cannot start the sidecar: " << sidecar.errorString() << "\n";
        return 1;
    }

    int failures = 0;
    for (const Step &step : kSession) {
        console() << "# " << step.comment << "\n> " << step.request << "\n";
        console().flush();
        sidecar.write(step.request);
        sidecar.write("\n");
        if (step.expectsAnswer) {
            const QByteArray answer = readAnswer(sidecar);
            if (answer.isEmpty())
                ++failures;
            console() << "< " << shown(answer) << "\n";
        }
        console() << "\n";
        console().flush();
    }
    sidecar.closeWriteChannel();
    const bool ended = sidecar.waitForFinished(3000);
    console() << "# end of input: sidecar exited "
              << (ended ? QStringLiteral("with status %1").arg(sidecar.exitCode())
                        : QStringLiteral("too late"))
              << "\n";
    return failures == 0 && ended && sidecar.exitCode() == 0 ? 0 : 1;
}

} // namespace quorvelin::demo
