#pragma once

#include <QLoggingCategory>

namespace quorvelin {

// Routes every Qt log message to standard error and to the day's log file
// "<app data>/logs/app-yyyyMMdd.log". Call once, after the application identity is set.
// A log file that cannot be opened is not an error: lines then go to standard error only.
void initLogger();

// The product's logging categories; info and above are enabled.
const QLoggingCategory &asCore();
const QLoggingCategory &asConfig();
const QLoggingCategory &asService();
const QLoggingCategory &asCapture();
const QLoggingCategory &asUi();

} // namespace quorvelin
