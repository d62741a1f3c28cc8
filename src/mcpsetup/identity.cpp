#include "mcpsetup/identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace quorvelin::mcpsetup {

QString currentExePath() {
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
}

QString sidecarExePath() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() +
                                    QStringLiteral("/quorvelin-mcp"));
}

bool isDevWorld() {
    return !qEnvironmentVariableIsEmpty("QUORVELIN_DEV");
}

bool isDevBuild() {
    if (isDevWorld())
        return true;
    static const QLatin1String fragments[] = {
        QLatin1String("/build/"), QLatin1String("/build-release/"), QLatin1String("/cmake-build-"),
        QLatin1String("/out/")};
    const QString exe = QCoreApplication::applicationFilePath();
    for (const QLatin1String fragment : fragments) {
        if (exe.contains(fragment, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString serverEntryName() {
    return isDevBuild() ? QStringLiteral("quorvelin-dev") : QStringLiteral("quorvelin");
}

QString productVersion() {
    return QStringLiteral("3.1.0");
}

QString toolCataloguePath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/mcp-tools.json");
}

void setApplicationIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Brenlow"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("com.brenlow"));
    QCoreApplication::setApplicationName(isDevWorld() ? QStringLiteral("Quorvelin-Dev")
                                                      : QStringLiteral("Quorvelin"));
    QCoreApplication::setApplicationVersion(productVersion());
}

} // namespace quorvelin::mcpsetup
