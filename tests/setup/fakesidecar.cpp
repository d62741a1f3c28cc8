// A stand-in for quorvelin-mcp that plays a script, so the self-test meets every misbehaviour.
// QUORVELIN_FAKE_SCRIPT names {"messages": {name: JSON}, "script": [[action, ...], ...]}; the
// fake writes its pid to "<script>.pid" and every line it reads to "<script>.log".
//   ["read"]  one request line       ["drain"]  until the end of input
//   ["pause", ms]                    ["hang"]   forever, deaf to the end of input
//   ["send", part or [parts], chunk bytes, pause ms]: one write, or chunks with pauses between;
//            a part naming a message is its compact JSON, any other part is sent verbatim.
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

namespace {

QFile in;
QFile out;
QFile requests;

bool readLine() {
    const QByteArray line = in.readLine();
    requests.write(line);
    requests.flush();
    return !line.isEmpty();
}

QByteArray bytesOf(const QJsonValue &parts, const QJsonObject &messages) {
    QByteArray bytes;
    const QJsonArray list = parts.isArray() ? parts.toArray() : QJsonArray{parts};
    for (const QJsonValue &part : list) {
        const QJsonValue message = messages.value(part.toString());
        bytes += message.isObject()
                     ? QJsonDocument(message.toObject()).toJson(QJsonDocument::Compact)
                     : part.toString().toUtf8();
    }
    return bytes;
}

void send(const QJsonArray &step, const QJsonObject &messages) {
    const QByteArray bytes = bytesOf(step.at(1), messages);
    const int chunk = qMax(1, step.at(2).toInt(int(bytes.size())));
    for (qsizetype at = 0; at < bytes.size(); at += chunk) {
        out.write(bytes.mid(at, chunk));
        out.flush();
        QThread::msleep(step.at(3).toInt());
    }
}

struct Action {
    const char *name;
    void (*run)(const QJsonArray &step, const QJsonObject &messages);
};

const Action kActions[] = {
    {"read", [](const QJsonArray &, const QJsonObject &) { readLine(); }},
    {"drain",
     [](const QJsonArray &, const QJsonObject &) {
         while (readLine()) {
         }
     }},
    {"pause",
     [](const QJsonArray &step, const QJsonObject &) { QThread::msleep(step.at(1).toInt()); }},
    {"hang",
     [](const QJsonArray &, const QJsonObject &) {
         for (;;)
             QThread::msleep(1000);
     }},
    {"send", send},
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QString script = qEnvironmentVariable("QUORVELIN_FAKE_SCRIPT");
    QFile pid(script + QStringLiteral(".pid"));
    QFile file(script);
    requests.setFileName(script + QStringLiteral(".log"));
    if (!pid.open(QIODevice::WriteOnly) || !file.open(QIODevice::ReadOnly) ||
        !requests.open(QIODevice::Append) || !in.open(stdin, QIODevice::ReadOnly) ||
        !out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 2;
    pid.write(QByteArray::number(QCoreApplication::applicationPid()));
    pid.close();
    const QJsonObject config = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject messages = config.value(QStringLiteral("messages")).toObject();
    const QJsonArray steps = config.value(QStringLiteral("script")).toArray();
    for (const QJsonValue &value : steps) {
        const QJsonArray step = value.toArray();
        for (const Action &action : kActions) {
            if (step.at(0).toString() == QLatin1String(action.name))
                action.run(step, messages);
        }
    }
    return 0;
}
