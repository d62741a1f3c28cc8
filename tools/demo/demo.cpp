#include "demo/demo.h"

#include "mcpsetup/identity.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

namespace quorvelin::demo {

namespace {

// Long answers (the instructions) are cut for the screen; the wire carries them whole.
constexpr int kShownChars = 240;

QTextStream &console() {
    static QTextStream stream(stdout);
    return stream;
}

enum class Before {
    Nothing = 0,
    StopGui = 1, // the stand-in quits before this step is sent
};

struct Step {
    const char *comment;
    const char *request;
    bool expectsAnswer;
    Before before = Before::Nothing;
};

// The stand-in's script, one entry per bridge request of the session below, in order.
const char *const kGuiScript[] = {"reply", "reply", "reply", "defer:retry_after_ms=400,times=2"};

const Step kSession[] = {
    {"Handshake: the client names its revision and itself.",
     R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2024-11-05","capabilities":{"roots":{}},"clientInfo":{"name":"demo-client","version":"1.0"}}})",
     true},
    {"Notifications get no answer.", R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
     false},
    {"The tools the GUI program offers, read from the catalogue file the stand-in wrote.",
     R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})", true},
    {"A tool call travels over the GUI bridge; the stand-in echoes it.",
     R"({"jsonrpc":"2.0","id":20,"method":"tools/call","params":{"name":"ocr_shot","arguments":{"shot_id":"shot-0042"}}})",
     true},
    {"Resources come from the GUI program too.",
     R"({"jsonrpc":"2.0","id":21,"method":"resources/list"})", true},
    {"Reading one of them.",
     R"({"jsonrpc":"2.0","id":22,"method":"resources/read","params":{"uri":"quorvelin://shots/recent"}})",
     true},
    {"The user is busy: twice the GUI program asks for a retry in 400 ms; the sidecar waits and "
     "retries by itself (100 ms margin each), then notes how long it waited.",
     R"({"jsonrpc":"2.0","id":23,"method":"tools/call","params":{"name":"screenshot_fullscreen","arguments":{}}})",
     true},
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
    {"The GUI program has quit: tool calls say so at once.",
     R"({"jsonrpc":"2.0","id":9,"method":"tools/call","params":{"name":"ocr_shot","arguments":{"shot_id":"shot-0042"}}})",
     true, Before::StopGui},
};

QString shown(const QByteArray &line) {
    const QString text = QString::fromUtf8(line);
    if (text.size() <= kShownChars)
        return text;
    return text.left(kShownChars) + QStringLiteral("… (%1 bytes)").arg(line.size());
}

// Starts the stand-in of the GUI program and waits for its "ready" line.
bool startGui(QProcess &gui, const QProcessEnvironment &environment) {
    QStringList arguments;
    for (const char *behaviour : kGuiScript)
        arguments << QStringLiteral("--next") << QString::fromUtf8(behaviour);
    gui.setProcessEnvironment(environment);
    gui.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gui.start(QCoreApplication::applicationDirPath() + QStringLiteral("/quorvelin-bridge-sim"),
              arguments);
    if (!gui.waitForStarted(3000) || !gui.waitForReadyRead(5000))
        return false;
    return gui.readLine().startsWith("ready");
}

void stopGui(QProcess &gui) {
    gui.terminate();
    if (!gui.waitForFinished(3000))
        gui.kill();
    gui.waitForFinished(1000);
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
    environment.remove(QStringLiteral("QUORVELIN_MCP_YIELD_RETRY"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("TMPDIR"), home.path());

    QProcess gui;
    console() << "# GUI program: the stand-in quorvelin-bridge-sim (its request log goes to "
                 "standard error)\n";
    console().flush();
    if (!startGui(gui, environment)) {
        console() << "cannot start the stand-in: " << gui.errorString() << "\n";
        return 1;
    }

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
        if (step.before == Before::StopGui) {
            stopGui(gui);
            console() << "# (the stand-in has stopped)\n";
        }
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
