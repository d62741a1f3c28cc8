#include "bridge-sim/bridgesim.h"

#include "mcpproto/protocol.h"
#include "mcpsetup/identity.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <utility>

namespace quorvelin::bridgesim {

namespace {

struct ModeName {
    const char *name;
    Mode mode;
};

const ModeName kModes[] = {
    {"reply", Mode::Reply},   {"defer", Mode::Defer},
    {"silent", Mode::Silent}, {"close-early", Mode::CloseEarly},
    {"pieces", Mode::Pieces}, {"two-lines", Mode::TwoLines},
    {"broken", Mode::Broken}, {"array", Mode::Array},
    {"error", Mode::Error},   {"fixed", Mode::Fixed},
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

QJsonObject resourceList() {
    QJsonArray resources;
    for (const Resource &resource : kResources)
        resources.append(QJsonObject{{QStringLiteral("uri"), QLatin1String(resource.uri)},
                                     {QStringLiteral("name"), QLatin1String(resource.name)},
                                     {QStringLiteral("mimeType"), QStringLiteral("text/plain")}});
    return QJsonObject{{QStringLiteral("resources"), resources}};
}

QJsonObject resourceRead(const QString &uri) {
    for (const Resource &resource : kResources) {
        if (uri == QLatin1String(resource.uri))
            return QJsonObject{
                {QStringLiteral("contents"),
                 QJsonArray{QJsonObject{{QStringLiteral("uri"), uri},
                                        {QStringLiteral("mimeType"), QStringLiteral("text/plain")},
                                        {QStringLiteral("text"), QLatin1String(resource.text)}}}}};
    }
    return QJsonObject{{QStringLiteral("__error__"), QStringLiteral("unknown resource: ") + uri}};
}

// The answer of a GUI program that ran the request: tools are echoed, resources served.
QJsonObject normalReply(const QJsonObject &request) {
    const QString kind = request.value(QStringLiteral("kind")).toString();
    const QJsonObject arguments = request.value(QStringLiteral("arguments")).toObject();
    if (kind == u"resources/list")
        return resourceList();
    if (kind == u"resources/read")
        return resourceRead(arguments.value(QStringLiteral("uri")).toString());
    return textContent(
        QStringLiteral("ran %1 %2")
            .arg(request.value(QStringLiteral("name")).toString(),
                 QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact))));
}

QJsonObject deferral(int retryAfterMs) {
    QJsonObject reply = textContent(
        QStringLiteral("deferred: the user is active, retry in %1 ms").arg(retryAfterMs));
    reply.insert(QStringLiteral("isError"), true);
    reply.insert(QStringLiteral("retry_after_ms"), retryAfterMs);
    return reply;
}

QList<Chunk> inPieces(const QByteArray &bytes, int pieces, int pauseMs) {
    QList<Chunk> chunks;
    const qsizetype count = qBound(qsizetype(1), qsizetype(pieces), bytes.size());
    const qsizetype size = (bytes.size() + count - 1) / count;
    for (qsizetype at = 0; at < bytes.size(); at += size)
        chunks.append(Chunk{chunks.isEmpty() ? 0 : pauseMs, bytes.mid(at, size)});
    return chunks;
}

// "defer:retry_after_ms=50,times=2" as the JSON object it abbreviates.
QJsonObject specObject(const QString &spec, QString *error) {
    if (spec.trimmed().startsWith(QLatin1Char('{'))) {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(spec.toUtf8(), &parseError);
        if (!document.isObject())
            *error = QStringLiteral("not a JSON object: %1").arg(spec);
        return document.object();
    }
    const qsizetype colon = spec.indexOf(QLatin1Char(':'));
    QJsonObject object{{QStringLiteral("mode"), spec.left(colon)}};
    if (colon < 0)
        return object;
    for (const QString &pair : spec.mid(colon + 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        if (equals < 1) {
            *error = QStringLiteral("expected key=value, got \"%1\"").arg(pair);
            return object;
        }
        const QString key = pair.left(equals);
        const QString value = pair.mid(equals + 1);
        bool isNumber = false;
        const int number = value.toInt(&isNumber);
        object.insert(key, isNumber ? QJsonValue(number) : QJsonValue(value));
    }
    return object;
}

struct IntKey {
    const char *key;
    int Behaviour::*field;
};

const IntKey kIntKeys[] = {
    {"retry_after_ms", &Behaviour::retryAfterMs},
    {"delay_ms", &Behaviour::delayMs},
    {"pieces", &Behaviour::pieces},
    {"pause_ms", &Behaviour::pauseMs},
};

bool readBehaviour(const QJsonObject &object, Behaviour *behaviour, int *times, QString *error) {
    const QString mode = object.value(QStringLiteral("mode")).toString();
    bool known = false;
    for (const ModeName &entry : kModes) {
        if (mode == QLatin1String(entry.name)) {
            behaviour->mode = entry.mode;
            known = true;
        }
    }
    if (!known) {
        *error = QStringLiteral("unknown mode \"%1\"").arg(mode);
        return false;
    }
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        bool used = key == u"mode";
        for (const IntKey &entry : kIntKeys) {
            if (key == QLatin1String(entry.key)) {
                behaviour->*entry.field = it.value().toInt();
                used = true;
            }
        }
        if (key == u"times") {
            *times = it.value().toInt();
            used = true;
        } else if (key == u"message") {
            behaviour->message = it.value().toString();
            used = true;
        } else if (key == u"reply") {
            behaviour->reply = it.value().toObject();
            used = true;
        }
        if (!used) {
            *error = QStringLiteral("unknown key \"%1\"").arg(key);
            return false;
        }
    }
    return true;
}

void addBehaviourObject(Script &script, const QJsonObject &object, bool asDefault) {
    Behaviour behaviour;
    int times = 1;
    QString error;
    if (!readBehaviour(object, &behaviour, &times, &error)) {
        script.error = error;
        return;
    }
    if (asDefault) {
        script.fallback = behaviour;
        return;
    }
    for (int i = 0; i < times; ++i)
        script.queue.append(behaviour);
}

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

// One connection: its first line is the request, everything after it is ignored.
struct Connection {
    QByteArray buffer;
    bool answered = false;
};

class Server {
public:
    Server(Script script, QFile *log)
        : script_(std::move(script))
        , log_(log) {
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { accept(); });
    }

    bool listen(const QString &name, QString *error) {
        // Only a socket file that nobody answers on may be cleared; a live bridge is left alone.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(300)) {
            *error = QStringLiteral("something already listens on %1").arg(name);
            return false;
        }
        QLocalServer::removeServer(name);
        if (!server_.listen(name)) {
            *error = server_.errorString();
            return false;
        }
        return true;
    }

private:
    Behaviour nextBehaviour() {
        return script_.queue.isEmpty() ? script_.fallback : script_.queue.takeFirst();
    }

    void accept() {
        while (QLocalSocket *socket = server_.nextPendingConnection()) {
            auto connection = std::make_shared<Connection>();
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [this, socket, connection] { receive(socket, *connection); });
        }
    }

    void receive(QLocalSocket *socket, Connection &connection) {
        connection.buffer.append(socket->readAll());
        const qsizetype end = connection.buffer.indexOf('\n');
        if (connection.answered || end < 0)
            return;
        connection.answered = true;
        const QByteArray request = connection.buffer.left(end);
        log_->write(request + '\n');
        log_->flush();
        send(socket, answerFor(nextBehaviour(), request), 0);
    }

    void send(QLocalSocket *socket, const Answer &answer, int index) {
        if (index == answer.chunks.size()) {
            if (answer.close) {
                socket->flush();
                socket->disconnectFromServer();
            }
            return;
        }
        const Chunk &chunk = answer.chunks.at(index);
        QTimer::singleShot(chunk.pauseMs, socket, [this, socket, answer, index] {
            socket->write(answer.chunks.at(index).bytes);
            socket->flush();
            send(socket, answer, index + 1);
        });
    }

    QLocalServer server_;
    Script script_;
    QFile *log_;
};

bool openLog(QFile *log, const QString &path) {
    if (path.isEmpty())
        return log->open(stderr, QIODevice::WriteOnly);
    log->setFileName(path);
    return log->open(QIODevice::WriteOnly | QIODevice::Append);
}

bool writeCatalogue(QString *where) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    *where = dir + QStringLiteral("/mcp-tools.json");
    QSaveFile file(*where);
    if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(demoCatalogue()).toJson(QJsonDocument::Indented));
    return file.commit();
}

int fail(const QString &message) {
    std::fprintf(stderr, "quorvelin-bridge-sim: %s\n", qPrintable(message));
    return 1;
}

} // namespace

void addBehaviour(Script &script, const QString &spec, bool asDefault) {
    QString error;
    const QJsonObject object = specObject(spec, &error);
    if (!error.isEmpty()) {
        script.error = error;
        return;
    }
    addBehaviourObject(script, object, asDefault);
}

void addScriptFile(Script &script, const QByteArray &json) {
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject()) {
        script.error = QStringLiteral("the script is not a JSON object");
        return;
    }
    const auto add = [&script](const QJsonValue &value, bool asDefault) {
        if (value.isString())
            addBehaviour(script, value.toString(), asDefault);
        else
            addBehaviourObject(script, value.toObject(), asDefault);
    };
    const QJsonObject object = document.object();
    if (object.contains(QStringLiteral("default")))
        add(object.value(QStringLiteral("default")), true);
    const QJsonArray queue = object.value(QStringLiteral("queue")).toArray();
    for (const QJsonValue &value : queue)
        add(value, false);
}

Answer answerFor(const Behaviour &behaviour, const QByteArray &requestLine) {
    const QJsonObject request = QJsonDocument::fromJson(requestLine).object();
    const QByteArray reply = line(normalReply(request));
    Answer answer;
    switch (behaviour.mode) {
    case Mode::Reply:
        answer.chunks = {Chunk{0, reply}};
        break;
    case Mode::Defer:
        answer.chunks = {Chunk{0, line(deferral(behaviour.retryAfterMs))}};
        break;
    case Mode::Silent:
        answer.close = false;
        break;
    case Mode::CloseEarly:
        answer.chunks = {Chunk{0, reply.left(reply.size() / 2)}};
        break;
    case Mode::Pieces:
        answer.chunks = inPieces(reply, behaviour.pieces, behaviour.pauseMs);
        break;
    case Mode::TwoLines:
        answer.chunks = {Chunk{0, reply + line(textContent(QStringLiteral("second line")))}};
        break;
    case Mode::Broken:
        answer.chunks = {Chunk{0, QByteArrayLiteral("{\"content\":[{\"type\":\n")}};
        break;
    case Mode::Array:
        answer.chunks = {Chunk{0, QByteArrayLiteral("[{\"content\":[]}]\n")}};
        break;
    case Mode::Error:
        answer.chunks = {
            Chunk{0, line(QJsonObject{{QStringLiteral("__error__"), behaviour.message}})}};
        break;
    case Mode::Fixed:
        answer.chunks = {Chunk{0, line(behaviour.reply)}};
        break;
    }
    if (!answer.chunks.isEmpty())
        answer.chunks.first().pauseMs += behaviour.delayMs;
    return answer;
}

QJsonObject demoCatalogue() {
    const auto tool = [](const char *name, const char *description, const QJsonObject &properties,
                         const QJsonArray &required) {
        QJsonObject schema{{QStringLiteral("type"), QStringLiteral("object")},
                           {QStringLiteral("properties"), properties}};
        if (!required.isEmpty())
            schema.insert(QStringLiteral("required"), required);
        return QJsonObject{{QStringLiteral("name"), QLatin1String(name)},
                           {QStringLiteral("description"), QLatin1String(description)},
                           {QStringLiteral("inputSchema"), schema}};
    };
    const auto property = [](const char *type, const char *description) {
        return QJsonObject{{QStringLiteral("type"), QLatin1String(type)},
                           {QStringLiteral("description"), QLatin1String(description)}};
    };
    return QJsonObject{
        {QStringLiteral("tools"),
         QJsonArray{
             tool("screenshot_fullscreen", "Capture the whole screen and keep it in the history",
                  QJsonObject{{QStringLiteral("display"),
                               property("integer", "Display index, 0 for the main one")}},
                  QJsonArray()),
             tool("list_recent_shots", "List the latest captures of the history",
                  QJsonObject{{QStringLiteral("limit"),
                               property("integer", "How many captures, newest first")}},
                  QJsonArray()),
             tool("ocr_shot", "Recognise the text of a capture",
                  QJsonObject{{QStringLiteral("shot_id"), property("string", "The capture")}},
                  QJsonArray{QStringLiteral("shot_id")}),
         }}};
}

int run(const QStringList &arguments) {
    mcpsetup::setApplicationIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stand-in for the GUI program's end of the MCP bridge. A behaviour is a mode "
        "(reply, defer, silent, close-early, pieces, two-lines, broken, array, error, fixed), "
        "optionally followed by :key=value,... (times, retry_after_ms, delay_ms, pieces, "
        "pause_ms, message), or a JSON object with the same keys plus \"reply\"."));
    parser.addHelpOption();
    const QCommandLineOption scriptOption(
        QStringLiteral("script"),
        QStringLiteral("JSON file {\"default\": behaviour, \"queue\": [behaviour, ...]}."),
        QStringLiteral("file"));
    const QCommandLineOption defaultOption(
        QStringLiteral("default"),
        QStringLiteral("Behaviour once the queue is empty (default: reply)."),
        QStringLiteral("behaviour"));
    const QCommandLineOption nextOption(
        QStringLiteral("next"),
        QStringLiteral("Append a behaviour to the queue; one request takes one entry."),
        QStringLiteral("behaviour"));
    const QCommandLineOption logOption(
        QStringLiteral("log"),
        QStringLiteral("Append each request line, verbatim, to this file (default: stderr)."),
        QStringLiteral("file"));
    parser.addOptions({scriptOption, defaultOption, nextOption, logOption});
    parser.process(arguments);

    Script script;
    if (parser.isSet(scriptOption)) {
        QFile file(parser.value(scriptOption));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(file.fileName()));
        addScriptFile(script, file.readAll());
    }
    if (parser.isSet(defaultOption))
        addBehaviour(script, parser.value(defaultOption), true);
    for (const QString &spec : parser.values(nextOption))
        addBehaviour(script, spec, false);
    if (!script.error.isEmpty())
        return fail(script.error);

    QFile log;
    if (!openLog(&log, parser.value(logOption)))
        return fail(QStringLiteral("cannot open the log: %1").arg(log.errorString()));
    QString catalogue;
    if (!writeCatalogue(&catalogue))
        return fail(QStringLiteral("cannot write %1").arg(catalogue));

    const QString name = mcpproto::socketName();
    Server server(script, &log);
    QString error;
    if (!server.listen(name, &error))
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

    std::fprintf(stderr, "quorvelin-bridge-sim: catalogue %s\n", qPrintable(catalogue));
    std::fprintf(stdout, "ready %s\n", qPrintable(name));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace quorvelin::bridgesim
