#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// quorvelin-bridge-sim: a stand-in for the GUI program's end of the bridge. It listens on the
// bridge socket of its world, writes a demo tool catalogue and answers every request as its
// script says, logging each request line verbatim.
namespace quorvelin::bridgesim {

enum class Mode {
    Reply = 0,      // echo a tool call; serve resources/list and resources/read
    Defer = 1,      // the user is active: isError with retry_after_ms
    Silent = 2,     // accept, read, never answer
    CloseEarly = 3, // half of the reply, then close without a line feed
    Pieces = 4,     // the reply in pieces with pauses
    TwoLines = 5,   // the reply line followed by a second line
    Broken = 6,     // a line that is not JSON
    Array = 7,      // a line holding a JSON array
    Error = 8,      // {"__error__": message}
    Fixed = 9,      // a given reply object, verbatim
};

struct Behaviour {
    Mode mode = Mode::Reply;
    int retryAfterMs = 500;
    int delayMs = 0; // before the first byte of the answer
    int pieces = 3;
    int pauseMs = 100; // between pieces
    QString message = QStringLiteral("resource not available");
    QJsonObject reply;
};

struct Script {
    QString error; // empty while every behaviour given was understood
    Behaviour fallback;
    QList<Behaviour> queue;
};

// Appends one behaviour given as "mode", "mode:key=value,..." or a JSON object, with the keys
// mode, times, retry_after_ms, delay_ms, pieces, pause_ms, message and reply (JSON only).
// "times=N" queues it N times. With `asDefault` it replaces the fallback instead.
void addBehaviour(Script &script, const QString &spec, bool asDefault);
// Reads {"default": spec, "queue": [spec, ...]}, each spec as a JSON object or string.
void addScriptFile(Script &script, const QByteArray &json);

struct Chunk {
    int pauseMs = 0; // before these bytes
    QByteArray bytes;
};

struct Answer {
    QList<Chunk> chunks;
    bool close = true; // false: keep the connection open until the peer closes it
};

// What the stand-in sends back for one request line.
Answer answerFor(const Behaviour &behaviour, const QByteArray &requestLine);

// The demo catalogue that the GUI program would write: {"tools": [...]}.
QJsonObject demoCatalogue();

// The program: options, catalogue, listen, serve until SIGINT or SIGTERM. Needs a live
// QCoreApplication; returns the exit status.
int run(const QStringList &arguments);

} // namespace quorvelin::bridgesim
