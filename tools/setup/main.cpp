#include "mcpsetup/identity.h"
#include "setup/setupcli.h"

#include <QCoreApplication>
#include <QLocale>
#include <QLoggingCategory>
#include <QTextStream>
#include <QTranslator>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    // The product's identity: the doctor finds the tool catalogue where the GUI program writes it.
    quorvelin::mcpsetup::setApplicationIdentity();
    // The command reports every outcome itself; the library's log lines would only repeat it.
    // QT_LOGGING_RULES="quorvelin.*=true" brings them back.
    QLoggingCategory::setFilterRules(QStringLiteral("quorvelin.*=false"));
    // The translation the locale asks for, compiled into this program; a Chinese locale, and the
    // C locale, keep the texts as written.
    const QLocale locale;
    QTranslator translator;
    if (locale.language() != QLocale::Chinese && locale.language() != QLocale::C &&
        translator.load(locale, QStringLiteral("quorvelin"), QStringLiteral("_"),
                        QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(&translator);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = app.arguments().mid(1);
    return quorvelin::setupcli::run(arguments, out, err);
}
