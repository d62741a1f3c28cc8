#include "bridge-sim/bridgesim.h"

#include "mcpbridge/bridgeserver.h"
#include "mcpbridge/bridgeserver_p.h"
#include "mcpbridge/catalogue.h"
#include "mcpsetup/identity.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace quorvelin::bridgesim {

namespace {

using mcpbridge::BridgeFaults;
using mcpbridge::BridgeRequest;
using mcpbridge::BridgeResponder;

struct Behaviour {
    QString mode = QStringLiteral("reply");
    int retryAfterMs = 500;
    int delayMs = 0; // before the first byte of the answer
    int pieces = 3;
    int pauseMs = 100;            // between pieces
    int bytes = 50 * 1024 * 1024; // size of the text of a big reply
    QString message = QStringLiteral("resource not available");
    QJsonObject reply;
};

struct Resource {
    const char *uri;
    const char *name;
    const char *text;
};

const Resource kResources[] = {
    {"quorvelin://shots/recent", "Recent captures",
     "shot-0042 2024-05-01 10:12 fullscreen\nshot-0041 2024-05-01 09:58 region\n"},
    {"quorvelin://settings/hotkeys", "Hotkeys", "capture: Ctrl+Alt+A\npin: F3\n"},
};

QJsonObject textContent(const QString &text) {
    return QJsonObject{{QStringLiteral("content"),
                        QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                               {QStringLiteral("text"), text}}}}};
}

QByteArray line(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// The answer of a GUI program that ran the request: tools are echoed, resources served.
QJsonObject normalReply(const BridgeRequest &request) {
    if (request.kind == u"resources/list") {
        QJsonArray resources;
        for (const Resource &resource : kResources)
            resources.append(
                QJsonObject{{QStringLiteral("uri"), QLatin1String(resource.uri)},
                            {QStringLiteral("name"), QLatin1String(resource.name)},
                            {QStringLiteral("mimeType"), QStringLiteral("text/plain")}});
        return QJsonObject{{QStringLiteral("resources"), resources}};
    }
    if (request.kind == u"resources/read") {
        const QString uri = request.arguments.value(QStringLiteral("uri")).toString();
        for (const Resource &resource : kResources) {
            if (uri == QLatin1String(resource.uri))
                return QJsonObject{{QStringLiteral("contents"),
                                    QJsonArray{QJsonObject{
                                        {QStringLiteral("uri"), uri},
                                        {QStringLiteral("mimeType"), QStringLiteral("text/plain")},
                                        {QStringLiteral("text"), QLatin1String(resource.text)}}}}};
        }
        return QJsonObject{
            {QStringLiteral("__error__"), QStringLiteral("unknown resource: ") + uri}};
    }
    return textContent(
        QStringLiteral("ran %1 %2")
            .arg(request.name,
                 QString::fromUtf8(
                     QJsonDocument(request.arguments).toJson(QJsonDocument::Compact))));
}

using Answer = void (*)(const Behaviour &, const BridgeRequest &, const BridgeResponder &);

// What each mode sends back; the faults answer as a broken GUI program would.
const std::pair<const char *, Answer> kModes[] = {
    {"reply", [](auto &, auto &request, auto &out) { out.send(normalReply(request)); }},
    {"defer",
     [](auto &b, auto &, auto &out) {
         out.defer(
             b.retryAfterMs,
             QStringLiteral("deferred: the user is active, retry in %1 ms").arg(b.retryAfterMs));
     }},
    {"silent", [](auto &, auto &, auto &) {}},
    {"close-early",
     [](auto &, auto &request, auto &out) {
         const QByteArray reply = line(normalReply(request));
         BridgeFaults::write(out, reply.left(reply.size() / 2));
     }},
    {"pieces",
     [](auto &b, auto &request, auto &out) {
         BridgeFaults::write(out, line(normalReply(request)), b.pieces, b.pauseMs);
     }},
    {"two-lines",
     [](auto &, auto &request, auto &out) {
         BridgeFaults::write(out, line(normalReply(request)) +
                                      line(textContent(QStringLiteral("second line"))));
     }},
    {"broken",
     [](auto &, auto &, auto &out) { BridgeFaults::write(out, "{\"content\":[{\"type\":\n"); }},
    {"array", [](auto &, auto &, auto &out) { BridgeFaults::write(out, "[{\"content\":[]}]\n"); }},
    {"error",
     [](auto &b, auto &, auto &out) {
         out.send({{QStringLiteral("__error__"), b.message}});
     }},
    {"fixed", [](auto &b, auto &, auto &out) { out.send(b.reply); }},
    {"big",
     [](auto &b, auto &, auto &out) { out.send(textContent(QString(qMax(0, b.bytes), u'x'))); }},
    {"flood",
     [](auto &, auto &, auto &out) { BridgeFaults::flood(out, "{\"content\":[{\"text\":\""); }},
};

Answer answerOf(const QString &mode) {
    for (const auto &[name, answer] : kModes) {
        if (mode == QLatin1String(name))
            return answer;
    }
    return nullptr;
}

struct Script {
    QString error; // empty while every behaviour given was understood
    Behaviour fallback;
    QList<Behaviour> queue;

    // "defer:retry_after_ms=50,times=2" or the JSON object it abbreviates.
    void add(const QJsonValue &spec, bool asDefault) {
        QJsonObject object = spec.toObject();
        const QString text = spec.toString();
        if (text.trimmed().startsWith(QLatin1Char('{'))) {
            const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
            if (!document.isObject())
                error = QStringLiteral("not a JSON object: %1").arg(text);
            object = document.object();
        } else if (spec.isString())
            object = abbreviated(text);
        Behaviour behaviour;
        int times = 1;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString key = it.key();
            int *number = key == u"retry_after_ms" ? &behaviour.retryAfterMs
                          : key == u"delay_ms"     ? &behaviour.delayMs
                          : key == u"pieces"       ? &behaviour.pieces
                          : key == u"pause_ms"     ? &behaviour.pauseMs
                          : key == u"bytes"        ? &behaviour.bytes
                          : key == u"times"        ? &times
                                                   : nullptr;
            if (number)
                *number = it.value().toInt();
            else if (key == u"mode")
                behaviour.mode = it.value().toString();
            else if (key == u"message")
                behaviour.message = it.value().toString();
            else if (key == u"reply")
                behaviour.reply = it.value().toObject();
            else
                error = QStringLiteral("unknown key \"%1\"").arg(key);
        }
        if (!answerOf(behaviour.mode))
            error = QStringLiteral("unknown mode \"%1\"").arg(behaviour.mode);
        if (asDefault)
            fallback = behaviour;
        for (int i = 0; !asDefault && i < times; ++i)
            queue.append(behaviour);
    }

    QJsonObject abbreviated(const QString &spec) {
        const qsizetype colon = spec.indexOf(QLatin1Char(':'));
        QJsonObject object{{QStringLiteral("mode"), spec.left(colon)}};
        const QStringList pairs =
            colon < 0 ? QStringList() : spec.mid(colon + 1).split(u',', Qt::SkipEmptyParts);
        for (const QString &pair : pairs) {
            const qsizetype equals = pair.indexOf(QLatin1Char('='));
            if (equals < 1)
                error = QStringLiteral("expected key=value, got \"%1\"").arg(pair);
            bool isNumber = false;
            const int number = pair.mid(equals + 1).toInt(&isNumber);
            object.insert(pair.left(equals),
                          isNumber ? QJsonValue(number) : QJsonValue(pair.mid(equals + 1)));
        }
        return object;
    }
};

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

QJsonObject tool(const char *name, const char *description, const char *property, const char *type,
                 const char *about, bool required) {
    QJsonObject schema{
        {QStringLiteral("type"), QStringLiteral("object")},
        {QStringLiteral("properties"),
         QJsonObject{{QLatin1String(property),
                      QJsonObject{{QStringLiteral("type"), QLatin1String(type)},
                                  {QStringLiteral("description"), QLatin1String(about)}}}}}};
    if (required)
        schema.insert(QStringLiteral("required"), QJsonArray{QLatin1String(property)});
    return QJsonObject{{QStringLiteral("name"), QLatin1String(name)},
                       {QStringLiteral("description"), QLatin1String(description)},
                       {QStringLiteral("inputSchema"), schema}};
}

// The demo catalogue that the GUI program would write.
QJsonArray demoTools() {
    return {tool("screenshot_fullscreen", "Capture the whole screen and keep it in the history",
                 "display", "integer", "Display index, 0 for the main one", false),
            tool("list_recent_shots", "List the latest captures of the history", "limit", "integer",
                 "How many captures, newest first", false),
            tool("ocr_shot", "Recognise the text of a capture", "shot_id", "string", "The capture",
                 true)};
}

int fail(const QString &message) {
    std::fprintf(stderr, "quorvelin-bridge-sim: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int run(const QStringList &arguments) {
    mcpsetup::setApplicationIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stand-in for the GUI program's end of the MCP bridge. A behaviour is a mode (reply, "
        "defer, silent, close-early, pieces, two-lines, broken, array, error, fixed, big, "
        "flood), optionally followed by :key=value,... (times, retry_after_ms, delay_ms, "
        "pieces, pause_ms, bytes, message), or a JSON object with the same keys plus \"reply\"."));
    parser.addHelpOption();
    const auto option = [](const char *name, const char *about, const char *value) {
        return QCommandLineOption(QLatin1String(name), QLatin1String(about), QLatin1String(value));
    };
    parser.addOptions(
        {option("script", "JSON file {\"default\": behaviour, \"queue\": [behaviour, ...]}.",
                "file"),
         option("default", "Behaviour once the queue is empty (default: reply).", "behaviour"),
         option("next", "Append a behaviour to the queue; one request takes one entry.",
                "behaviour"),
         option("log", "Append each request line, verbatim, to this file (default: stderr).",
                "file")});
    parser.process(arguments);

    Script script;
    if (parser.isSet(QStringLiteral("script"))) {
        QFile file(parser.value(QStringLiteral("script")));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(file.fileName()));
        const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
        if (object.contains(QStringLiteral("default")))
            script.add(object.value(QStringLiteral("default")), true);
        for (const QJsonValue &spec : object.value(QStringLiteral("queue")).toArray())
            script.add(spec, false);
    }
    if (parser.isSet(QStringLiteral("default")))
        script.add(parser.value(QStringLiteral("default")), true);
    for (const QString &spec : parser.values(QStringLiteral("next")))
        script.add(spec, false);
    if (!script.error.isEmpty())
        return fail(script.error);

    QFile log;
    const bool logOpen = parser.value(QStringLiteral("log")).isEmpty()
                             ? log.open(stderr, QIODevice::WriteOnly)
                             : (log.setFileName(parser.value(QStringLiteral("log"))),
                                log.open(QIODevice::WriteOnly | QIODevice::Append));
    if (!logOpen)
        return fail(QStringLiteral("cannot open the log: %1").arg(log.errorString()));
    QString error;
    if (!mcpbridge::writeToolCatalogue(demoTools(), &error))
        return fail(error);

    mcpbridge::BridgeServer server;
    server.setHandler([&](const BridgeRequest &request, const BridgeResponder &responder) {
        log.write(request.line + '\n');
        log.flush();
        const Behaviour behaviour =
            script.queue.isEmpty() ? script.fallback : script.queue.takeFirst();
        QTimer::singleShot(behaviour.delayMs, &server, [behaviour, request, responder] {
            answerOf(behaviour.mode)(behaviour, request, responder);
        });
    });
    if (!server.listen(&error))
        return fail(error);

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    // Polled rather than handled in the signal handler, so the server closes (and removes its
    // socket file) on the normal path.
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, [] {
        if (stopRequested)
            QCoreApplication::quit();
    });
    stopPoll.start(50);

    std::fprintf(stderr, "quorvelin-bridge-sim: catalogue %s\n",
                 qPrintable(mcpsetup::toolCataloguePath()));
    std::fprintf(stdout, "ready %s\n", qPrintable(server.serverName()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace quorvelin::bridgesim
