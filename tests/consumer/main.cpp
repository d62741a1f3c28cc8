// What a GUI program does with the package: list the clients, connect one, check it, serve a
// tool over the bridge and see a real tool call arrive through the deployed sidecar. Every step
// prints what it saw; the exit status is 0 only when all of them held.
#include <quorvelin/mcpbridge/bridgeserver.h>
#include <quorvelin/mcpsetup/clients.h>
#include <quorvelin/mcpsetup/identity.h>
#include <quorvelin/mcpsetup/install.h>
#include <quorvelin/mcpsetup/integration.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace quorvelin;

namespace {

bool step(bool held, const QString &what) {
    std::printf("%s %s\n", held ? "ok  " : "FAIL", qPrintable(what));
    return held;
}

} // namespace

int main(int argc, char **argv) {
    // A private home: nothing here touches the real one or a real GUI program's socket.
    QTemporaryDir home;
    for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "TMPDIR"})
        qputenv(name, QFile::encodeName(home.path()));
    qunsetenv("QUORVELIN_DEV");
    QCoreApplication app(argc, argv);
    mcpsetup::setApplicationIdentity();

    bool held = step(mcpsetup::knownClients().size() == 7, QStringLiteral("seven clients"));
    const QString config = home.path() + QStringLiteral("/.cursor/mcp.json");
    const mcpsetup::InstallResult installed =
        mcpsetup::installToFile(config, mcpsetup::ClientFormat::McpServersJson);
    held &= step(installed.ok, QStringLiteral("install finds the deployed sidecar %1 %2")
                                   .arg(mcpsetup::sidecarExePath(), installed.message));
    held &= step(mcpsetup::checkIntegration(config, mcpsetup::ClientFormat::McpServersJson).state ==
                     mcpsetup::IntegrationState::Installed,
                 QStringLiteral("the integration check sees it"));

    mcpbridge::BridgeServer bridge;
    bridge.setHandler([](const mcpbridge::BridgeRequest &request,
                         const mcpbridge::BridgeResponder &responder) {
        responder.reply(QJsonObject{{QStringLiteral("content"),
                                     QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                                            {QStringLiteral("text"),
                                                             QStringLiteral("served ") + request.name}}}}});
    });
    QString error;
    held &= step(bridge.listen(&error), QStringLiteral("the bridge listens %1").arg(error));

    QProcess sidecar;
    QByteArray answers;
    QObject::connect(&sidecar, &QProcess::readyReadStandardOutput, [&] {
        answers += sidecar.readAllStandardOutput();
        if (answers.count('\n') >= 2)
            app.quit();
    });
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    sidecar.start(mcpsetup::sidecarExePath(), {});
    sidecar.write(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})"
                  "\n"
                  R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"grab"}})"
                  "\n");
    app.exec();
    sidecar.closeWriteChannel();
    sidecar.waitForFinished(3000);
    const QJsonObject call = QJsonDocument::fromJson(answers.split('\n').value(1)).object();
    held &= step(call.value(QStringLiteral("result"))
                         .toObject()
                         .value(QStringLiteral("content"))
                         .toArray()
                         .at(0)
                         .toObject()
                         .value(QStringLiteral("text")) == QStringLiteral("served grab"),
                 QStringLiteral("a tool call through the deployed sidecar reached the bridge: %1")
                     .arg(QString::fromUtf8(answers.split('\n').value(1))));
    return held ? 0 : 1;
}
