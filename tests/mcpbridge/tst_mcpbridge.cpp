// The GUI program's end of the bridge as sidecars meet it: the answer lines on the wire, several
// connections at once, a live bridge left alone and a stale file cleared, bounded requests; and
// the tool catalogue, which a reader never sees torn while another process rewrites it.
#include "mcpbridge/bridgeserver.h"
#include "mcpbridge/catalogue.h"
#include "mcpsetup/identity.h"
#include "support/scopedenv.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvelin;
using namespace quorvelin::mcpbridge;

namespace {

// A sidecar's side of one exchange, driven by the event loop the test spins.
struct Client {
    QLocalSocket socket;
    QByteArray received;
    bool closed = false;

    Client(const QString &name, const QByteArray &request) {
        QObject::connect(&socket, &QLocalSocket::readyRead,
                         [this] { received += socket.readAll(); });
        QObject::connect(&socket, &QLocalSocket::disconnected, [this] { closed = true; });
        socket.connectToServer(name);
        socket.write(request);
    }
};

QJsonArray tools(int count) {
    QJsonArray list;
    for (int i = 0; i < count; ++i)
        list.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("tool_%1").arg(i)}});
    return list;
}

} // namespace

class TestMcpBridge : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    testsupport::ScopedEnv tmp_{"TMPDIR", QFile::encodeName(dir_.path())};
    testsupport::ScopedEnv data_{"XDG_DATA_HOME", QFile::encodeName(dir_.path())};

private slots:
    void answers_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("line");
        const QByteArray tool = R"({"arguments":{"id":"s1"},"name":"ocr_shot"})"
                                "\n";
        const QByteArray read = R"({"arguments":{"uri":"u"},"kind":"resources/read","name":""})"
                                "\n";
        QTest::newRow("a tool result, verbatim")
            << tool << 0 << QByteArray(R"({"content":[{"text":"ocr_shot s1","type":"text"}]})");
        QTest::newRow("a failed tool call is a tool error")
            << tool << 1
            << QByteArray(R"({"content":[{"text":"no","type":"text"}],"isError":true})");
        QTest::newRow("a failed resource read is __error__")
            << read << 1 << QByteArray(R"({"__error__":"no"})");
        QTest::newRow("a deferral carries retry_after_ms")
            << tool << 2
            << QByteArray(R"({"content":[{"text":"Yielded: busy","type":"text"}],"isError":true,)"
                          R"("retry_after_ms":400})");
    }

    void answers() {
        QFETCH(QByteArray, request);
        QFETCH(int, answer);
        QFETCH(QByteArray, line);
        BridgeServer server;
        server.setHandler([&](const BridgeRequest &r, const BridgeResponder &responder) {
            QCOMPARE(r.line + '\n', request);
            const QString text = r.name + QLatin1Char(' ') + r.arguments.value("id").toString();
            if (answer == 0)
                responder.reply(QJsonObject{
                    {"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", text}}}}});
            else if (answer == 1)
                responder.fail(QStringLiteral("no"));
            else
                responder.defer(400, QStringLiteral("Yielded: busy"));
            QVERIFY(!responder.isOpen());
        });
        QVERIFY(server.listen());
        Client client(server.serverName(), request);
        QTRY_VERIFY(client.closed);
        QCOMPARE(client.received, line + '\n');
    }

    // Answers given later, in the other order, each on its own connection.
    void severalAtOnce() {
        BridgeServer server;
        QList<std::pair<QString, BridgeResponder>> pending;
        server.setHandler([&](const BridgeRequest &r, const BridgeResponder &responder) {
            pending.append({r.name, responder});
        });
        QVERIFY(server.listen());
        Client first(server.serverName(), "{\"arguments\":{},\"name\":\"one\"}\n");
        Client second(server.serverName(), "{\"arguments\":{},\"name\":\"two\"}\n");
        QTRY_COMPARE(pending.size(), 2);
        for (qsizetype i = pending.size() - 1; i >= 0; --i)
            pending.at(i).second.fail(pending.at(i).first);
        QTRY_VERIFY(first.closed && second.closed);
        QVERIFY(first.received.contains("\"one\"") && second.received.contains("\"two\""));
    }

    void listening() {
        BridgeServer live;
        QVERIFY(live.listen());
        BridgeServer second;
        QString error;
        QVERIFY(!second.listen(&error));
        const QString name = live.serverName();
        QVERIFY(error.contains(name));
        // Other users of the machine must not reach the user's screenshots.
        const QFileInfo socketFile(dir_.path() + QLatin1Char('/') + name);
        QVERIFY(socketFile.exists());
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                            QFileDevice::ReadOther | QFileDevice::WriteOther;
        QCOMPARE(socketFile.permissions() & others, QFileDevice::Permissions());
        live.close();
        // What a crashed GUI program leaves behind is cleared.
        QFile stale(dir_.path() + QLatin1Char('/') + name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        QVERIFY2(second.listen(&error), qPrintable(error));
    }

    void bounds_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("silent") << QByteArray();
        QTest::newRow("longer than the limit") << QByteArray(64, 'x');
        QTest::newRow("not a JSON object") << QByteArray("[1]\n");
    }

    void bounds() {
        QFETCH(QByteArray, request);
        BridgeServer server;
        server.setLimits(32, 200);
        bool handled = false;
        server.setHandler([&](const BridgeRequest &, const BridgeResponder &) { handled = true; });
        QSignalSpy malformed(&server, &BridgeServer::malformedRequest);
        QVERIFY(server.listen());
        Client client(server.serverName(), request);
        QTRY_VERIFY(client.closed);
        QCOMPARE(malformed.size(), 1);
        QVERIFY(!handled && client.received.isEmpty());
    }

    void catalogueNeverTorn() {
        QProcess writer;
        writer.setProgram(QCoreApplication::applicationFilePath());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("CATALOGUE_WRITER"), QStringLiteral("1"));
        writer.setProcessEnvironment(environment);
        writer.start();
        QVERIFY(writer.waitForStarted());
        int reads = 0;
        do {
            QFile file(mcpsetup::toolCataloguePath());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const qsizetype count =
                QJsonDocument::fromJson(file.readAll()).object().value("tools").toArray().size();
            QVERIFY2(count == 1 || count == 400, qPrintable(QString::number(count)));
            ++reads;
        } while (!writer.waitForFinished(1));
        QCOMPARE(writer.exitCode(), 0);
        QVERIFY(reads > 10);
    }
};

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    mcpsetup::setApplicationIdentity();
    if (qEnvironmentVariableIsSet("CATALOGUE_WRITER")) {
        for (int i = 0; i < 300; ++i) {
            if (!writeToolCatalogue(tools(i % 2 ? 400 : 1)))
                return 1;
        }
        return 0;
    }
    TestMcpBridge test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mcpbridge.moc"
