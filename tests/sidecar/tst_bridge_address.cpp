#include "sidecar/bridge.h"
#include "support/peers.h"
#include "support/processenv.h"
#include "support/scopedenv.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTest>

using namespace quorvelin::testsupport;

namespace {

// "served" when the stand-in answered, else the text of the bridge's own error.
QString outcome() {
    const QJsonObject reply =
        quorvelin::sidecar::forwardToGuiBridge(QStringLiteral("t"), QJsonObject(), QString());
    if (!reply.value(QStringLiteral("isError")).toBool())
        return QStringLiteral("served");
    return reply.value(QStringLiteral("content"))
        .toArray()
        .first()
        .toObject()
        .value(QStringLiteral("text"))
        .toString();
}

} // namespace

// The resolved socket place is kept between calls; it must still follow TMPDIR within one
// process and resolve a temporary directory reached through a symbolic link.
class tst_BridgeAddress : public QObject {
    Q_OBJECT

private slots:
    void followsTemporaryDirectoryBetweenCalls();
};

void tst_BridgeAddress::followsTemporaryDirectoryBetweenCalls() {
    IsolatedEnv env;
    QVERIFY(env.isValid());
    const QString empty = env.root() + QStringLiteral("/empty");
    const QString link = env.root() + QStringLiteral("/link");
    QVERIFY(QDir().mkpath(empty));
    QVERIFY(QFile::link(env.tmp(), link));
    BridgeSimProcess bridge(env.root() + QStringLiteral("/requests.log"));
    QVERIFY2(bridge.start(env.environment(), {}), qPrintable(bridge.error()));

    const struct {
        const char *what;
        QString tmpdir;
        const char *expected;
    } steps[] = {
        {"the server's directory", env.tmp(), "served"},
        {"an empty directory", empty, "[need_gui]"},
        {"back to the server's directory", env.tmp(), "served"},
        {"a link to the server's directory", link, "served"},
        {"the empty directory again", empty, "[need_gui]"},
    };
    for (const auto &step : steps) {
        ScopedEnv tmpdir("TMPDIR", step.tmpdir.toLocal8Bit());
        const QString text = outcome();
        QVERIFY2(text.startsWith(QLatin1String(step.expected)),
                 qPrintable(QStringLiteral("%1: got \"%2\"").arg(step.what, text)));
    }
}

QTEST_GUILESS_MAIN(tst_BridgeAddress)
#include "tst_bridge_address.moc"
