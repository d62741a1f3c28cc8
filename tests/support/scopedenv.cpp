#include "support/scopedenv.h"

namespace quorvelin::testsupport {

ScopedEnv::ScopedEnv(const char *name, const QByteArray &value)
    : name_(name)
    , previous_(qgetenv(name))
    , hadValue_(qEnvironmentVariableIsSet(name)) {
    value.isNull() ? qunsetenv(name) : qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    hadValue_ ? qputenv(name_.constData(), previous_) : qunsetenv(name_.constData());
}

namespace {

QtMessageHandler previousHandler = nullptr;
QByteArray capturedCategory;
QStringList captured;

void captureHandler(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (context.category && capturedCategory == context.category)
        captured.append(QString(QLatin1Char("DWCFI"[qBound(0, int(type), 4)])) + QLatin1Char(' ') +
                        text);
    else if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

LogCapture::LogCapture(const char *category) {
    capturedCategory = category;
    captured.clear();
    previousHandler = qInstallMessageHandler(captureHandler);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(previousHandler);
    capturedCategory.clear();
}

QStringList LogCapture::lines() const {
    return captured;
}

} // namespace quorvelin::testsupport
