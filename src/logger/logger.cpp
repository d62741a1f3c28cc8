#include "logger/logger.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>
#include <QTextStream>
#include <QTime>

#include <cstdio>

namespace quorvelin {

namespace {

// Constant-initialised, so a message logged during static initialisation finds it ready.
QBasicMutex logMutex;
// Opened once and deliberately never closed: the handler may run until the very end.
QFile *logFile = nullptr;
QTextStream *logStream = nullptr;

QChar levelLetter(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return u'D';
    case QtInfoMsg:
        return u'I';
    case QtWarningMsg:
        return u'W';
    case QtCriticalMsg:
        return u'C';
    case QtFatalMsg:
        return u'F';
    }
    return u'?';
}

void msgHandler(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    const QMutexLocker lock(&logMutex);
    const QString category =
        context.category ? QString::fromUtf8(context.category) : QStringLiteral("default");
    const QString line = QStringLiteral("[%1] %2 [%3] %4")
                             .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")),
                                  QString(levelLetter(type)), category, text);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    if (logFile && logFile->isOpen()) {
        *logStream << line << '\n';
        logStream->flush();
    }
}

} // namespace

void initLogger() {
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs");
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/app-") +
                         QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                         QStringLiteral(".log");
    {
        const QMutexLocker lock(&logMutex);
        if (!logFile) {
            logFile = new QFile(path);
            logFile->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
            logStream = new QTextStream(logFile);
            logStream->setEncoding(QStringConverter::Utf8);
        }
    }
    qInstallMessageHandler(msgHandler);
    qCInfo(asCore) << "Logger initialized → " << path;
}

Q_LOGGING_CATEGORY(asCore, "quorvelin.core", QtInfoMsg)
Q_LOGGING_CATEGORY(asConfig, "quorvelin.config", QtInfoMsg)
Q_LOGGING_CATEGORY(asService, "quorvelin.service", QtInfoMsg)
Q_LOGGING_CATEGORY(asCapture, "quorvelin.capture", QtInfoMsg)
Q_LOGGING_CATEGORY(asUi, "quorvelin.ui", QtInfoMsg)

} // namespace quorvelin
