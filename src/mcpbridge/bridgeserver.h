#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

// The GUI program's end of the GUI bridge: the local socket on which the sidecars of this world
// hand over tool calls and resource requests, one request line and one reply line per
// connection. Runs in the thread that owns it, on its event loop.
namespace quorvelin::mcpbridge {

// One request from a sidecar.
struct BridgeRequest {
    QString name;          // the tool's name; empty for resource requests
    QJsonObject arguments; // the tool's arguments, or the client's params of a resource request
    QString kind;          // empty for a tool call, else "resources/list" or "resources/read"
    QByteArray line;       // the request line as it arrived, without its line feed
};

// The answer to one request, given once, now or later from the event loop; copies share it.
// Answers after the first one, or after the sidecar went away, are dropped.
class BridgeResponder {
public:
    // A tool result ({"content": [...]}), or the resources/list or resources/read result.
    void reply(const QJsonObject &result) const;
    // A failure: for a tool call a tool error ({"content": [text], "isError": true}), for a
    // resource request {"__error__": message}, which the sidecar turns into a JSON-RPC error.
    void fail(const QString &message) const;
    // The user is busy: the sidecar waits `retryAfterMs` (1 to 4000) and sends the call again
    // by itself. `message` should start with "Yielded:", as the server instructions expect.
    void defer(int retryAfterMs, const QString &message) const;
    // The raw reply line's object, verbatim.
    void send(const QJsonObject &object) const;
    // False once answered, or when the sidecar has hung up.
    bool isOpen() const;

private:
    friend class BridgeServer;
    friend struct BridgeFaults;
    struct Exchange;
    std::shared_ptr<Exchange> exchange_;
};

class BridgeServer : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const BridgeRequest &request, BridgeResponder responder)>;

    explicit BridgeServer(QObject *parent = nullptr);
    ~BridgeServer() override;

    // Called for every request; until one is set, every request is answered with a failure.
    void setHandler(Handler handler);

    // Longest request line taken (default 64 MiB), and how long a connection may stay silent
    // before its request line is complete (default 10000 ms); beyond either it is closed.
    void setLimits(qint64 maxRequestBytes, int silenceMs);

    // Listens on `mcpproto::socketName()` of this world (or `name`), for the current user only.
    // Refuses, with the reason in `error`, when something live answers on that name; a socket
    // file left by a crashed program is removed first.
    bool listen(QString *error = nullptr, const QString &name = QString());
    void close();
    bool isListening() const;
    QString serverName() const;

signals:
    // A request line that is not a JSON object, or one too long or too late; the connection is
    // closed without an answer.
    void malformedRequest(const QString &why);

private:
    void accept();

    QLocalServer *server_;
    Handler handler_;
    qint64 maxRequestBytes_ = qint64(64) * 1024 * 1024;
    int silenceMs_ = 10000;
};

} // namespace quorvelin::mcpbridge
