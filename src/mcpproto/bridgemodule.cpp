#include "mcpproto/bridgemodule.h"

#include "mcpproto/protocol.h"

#include <QDir>
#include <QHash>
#include <QLibrary>
#include <QMutex>

namespace quorvelin::mcpproto {

BridgeModule loadBridgeModule(const QString &directory) {
    static QMutex mutex;
    static QHash<QString, BridgeModule> loaded;
    const QMutexLocker lock(&mutex);
    const auto known = loaded.constFind(directory);
    if (known != loaded.constEnd())
        return *known;
    // Never unloaded: its functions are handed out for the life of the process.
    QLibrary library(directory + QLatin1Char('/') + QLatin1String(kBridgeModuleName));
    BridgeModule module;
    module.exchange =
        reinterpret_cast<BridgeExchangeFunction>(library.resolve(kBridgeExchangeSymbol));
    module.connects =
        reinterpret_cast<BridgeConnectsFunction>(library.resolve(kBridgeConnectsSymbol));
    if (!module.exchange || !module.connects)
        module = {nullptr, nullptr, library.errorString()};
    loaded.insert(directory, module);
    return module;
}

// Resolving the temporary directory costs several system calls, and the sidecar asks at every
// bridge call; it is resolved again only when TMPDIR changes (per thread, so without a lock).
QString bridgeAddress() {
#ifdef Q_OS_WIN
    return socketName();
#else
    struct Resolved {
        QByteArray tmpdir;
        QString directory;
    };
    thread_local Resolved resolved;
    const QByteArray tmpdir = qgetenv("TMPDIR");
    if (resolved.directory.isEmpty() || tmpdir != resolved.tmpdir)
        resolved = {tmpdir, QDir::tempPath()};
    return resolved.directory + QLatin1Char('/') + socketName();
#endif
}

} // namespace quorvelin::mcpproto
