#include "mcpsetup/identity.h"
#include "setup/setupcli.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    // The product's identity: the doctor finds the tool catalogue where the GUI program writes it.
    quorvelin::mcpsetup::setApplicationIdentity();
    // The command reports every outcome itself; the library's log lines would only repeat it.
    // QT_LOGGING_RULES="quorvelin.*=true" brings them back.
    QLoggingCategory::setFilterRules(QStringLiteral("quorvelin.*=false"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = app.arguments().mid(1);
    return quorvelin::setupcli::run(arguments, out, err);
}
